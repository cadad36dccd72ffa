#include "textfile/QuotedFieldParser.h"

#include <gtest/gtest.h>

namespace {

using Problem = QuotedFieldParser::Problem;

// The values of one record, NULL shown as "<NULL>"; or how it went wrong.
struct Parsed {
    QStringList values;
    qsizetype counted = 0;   // the field count without keeping values
    qsizetype linesUsed = 0; // lines the record took
    Problem problem = Problem::None;
    qsizetype problemLine = 0; // the record's line where the problem lies
};

Parsed parse(const QStringList& lines, const QString& separator, bool keep) {
    QuotedFieldParser parser(separator, QLatin1Char('\n'));
    parser.begin(keep);
    Parsed parsed;
    bool complete = false;
    for (const QString& line : lines) {
        ++parsed.linesUsed;
        complete = parser.addLine(line);
        if (complete)
            break;
    }
    if (!complete)
        parser.endOfInput();
    parsed.problem = parser.problem();
    parsed.problemLine = parser.problemLine();
    parsed.counted = parser.fieldCount();
    for (const QString& value : parser.takeValues())
        parsed.values.append(value.isNull() ? QStringLiteral("<NULL>") : value);
    return parsed;
}

struct ParserCase {
    const char* name;
    QStringList lines; // the lines of the file from the record's first on
    QString separator;
    QStringList values;
    qsizetype linesUsed;
    Problem problem = Problem::None;
    qsizetype problemLine = 0;
};

} // namespace

TEST(QuotedFieldParser, ReadsFieldsAsCsvDoes) {
    const ParserCase cases[] = {
        {"plain fields", {"a,b,c"}, ",", {"a", "b", "c"}, 1},
        {"no quote, CR LF line end", {"a,,b\r\r"}, ",", {"a", "<NULL>", "b"}, 1},
        {"no quote, a CR inside a field", {",a\rb,c\r"}, ",", {"", "ab", "c"}, 1},
        {"quoted separator", {"\"Smith, John\",Rome"}, ",", {"Smith, John", "Rome"}, 1},
        {"doubled quote", {"A-100,\"Bolt \"\"M8\"\"\",x"}, ",", {"A-100", "Bolt \"M8\"", "x"}, 1},
        {"only a doubled quote", {"\"\"\"\",x"}, ",", {"\"", "x"}, 1},
        {"quote inside an unquoted field is kept",
         {"5\" pipe,ab\"c\""},
         ",",
         {"5\" pipe", "ab\"c\""},
         1},
        {"empty fields: first empty text, later NULL", {",,"}, ",", {"", "<NULL>", "<NULL>"}, 1},
        {"quoted empty is the empty text anywhere", {"\"\",\"\",x"}, ",", {"", "", "x"}, 1},
        {"trailing separator after a quote", {"\"a\","}, ",", {"a", "<NULL>"}, 1},
        {"value over two lines",
         {"1,\"line one", "line two\",2", "next"},
         ",",
         {"1", "line one\nline two", "2"},
         2},
        {"value over three lines with a separator and a quote",
         {"\"a,", "\"\"b", "\",c"},
         ",",
         {"a,\n\"b\n", "c"},
         3},
        {"empty line inside quotes", {"\"x", "", "y\",z"}, ",", {"x\n\ny", "z"}, 3},
        {"carriage return inside quotes is kept", {"\"a\rb\",c\r"}, ",", {"a\rb", "c"}, 1},
        {"CR LF inside quotes keeps the CR", {"\"a\r", "b\",c\r"}, ",", {"a\r\nb", "c"}, 2},
        {"carriage returns outside quotes are dropped",
         {"a\rb,\"c\"\r,d\r"},
         ",",
         {"ab", "c", "d"},
         1},
        {"a CR between separator characters does not hide it", {"a|\r|b"}, "||", {"a", "b"}, 1},
        {"CR before an opening quote", {"\r\"a,b\",c"}, ",", {"a,b", "c"}, 1},
        {"empty record", {""}, ",", {}, 1},
        {"CR alone is an empty record", {"\r"}, ",", {}, 1},
        {"blanks are kept, also around quotes", {" a , \"b\" "}, ",", {" a ", " \"b\" "}, 1},
        {"multi-character separator", {"\"a||b\"||c|d||"}, "||", {"a||b", "c|d", "<NULL>"}, 1},
        {"separator matched left to right", {"a|||b"}, "||", {"a", "|b"}, 1},
        {"a separator holding a CR never cuts, as without quotes",
         {"a\r,b,c\r"},
         "\r,",
         {"a,b,c"},
         1},
        {"empty separator: one field", {"\"a,b\""}, "", {"a,b"}, 1},
        {"empty separator, unquoted", {"a,\"b\""}, "", {"a,\"b\""}, 1},
        {"tab separator", {"\"a\tb\"\tc"}, "\t", {"a\tb", "c"}, 1},
        {"non-ASCII",
         {"\"Gr\u00f6\u00dfe, \u20ac\",\U0001F600"},
         ",",
         {"Gr\u00f6\u00dfe, \u20ac", "\U0001F600"},
         1},
        {"text after the closing quote", {"\"a\"b,c"}, ",", {}, 1, Problem::TextAfterQuote},
        {"a blank after the closing quote", {"\"a\" ,c"}, ",", {}, 1, Problem::TextAfterQuote},
        {"half a separator after the quote", {"\"a\"|"}, "||", {}, 1, Problem::TextAfterQuote},
        {"text after a quote on a later line",
         {"1,\"a", "b\"x,2"},
         ",",
         {},
         2,
         Problem::TextAfterQuote,
         1},
        {"a quote left open after one closed on a later line",
         {"\"a", "b\",\"c", "d"},
         ",",
         {},
         3,
         Problem::UnclosedQuote,
         1},
        {"text after the third quote, on the third line",
         {"\"a", "b\",\"c", "d\"e"},
         ",",
         {},
         3,
         Problem::TextAfterQuote,
         2},
        {"quote never closed",
         {"1,\"open", "more", "and more"},
         ",",
         {},
         3,
         Problem::UnclosedQuote},
        {"empty separator, text after the quote", {"\"a\"b"}, "", {}, 1, Problem::TextAfterQuote},
    };
    for (const ParserCase& c : cases) {
        const Parsed kept = parse(c.lines, c.separator, true);
        EXPECT_EQ(kept.problem, c.problem) << c.name;
        EXPECT_EQ(kept.linesUsed, c.linesUsed) << c.name;
        EXPECT_EQ(kept.problemLine, c.problemLine) << c.name;
        const Parsed counted = parse(c.lines, c.separator, false);
        EXPECT_EQ(counted.problem, c.problem) << c.name;
        EXPECT_EQ(counted.linesUsed, c.linesUsed) << c.name;
        EXPECT_EQ(counted.problemLine, c.problemLine) << c.name;
        EXPECT_TRUE(counted.values.isEmpty()) << c.name << ": counting keeps nothing";
        if (c.problem == Problem::None) {
            EXPECT_EQ(kept.values, c.values) << c.name;
            EXPECT_EQ(counted.counted, c.values.size()) << c.name;
        }
    }
}

TEST(QuotedFieldParser, ALineEndInsideQuotesIsTheFilesOwn) {
    QuotedFieldParser parser(QStringLiteral(","), QLatin1Char('\r'));
    parser.begin(true);
    EXPECT_FALSE(parser.addLine(u"\"a"));
    EXPECT_TRUE(parser.addLine(u"b\",c"));
    EXPECT_EQ(parser.takeValues(), (QStringList{"a\rb", "c"}));

    // The parser starts afresh for every record.
    parser.begin(true);
    EXPECT_TRUE(parser.addLine(u"x,y"));
    EXPECT_EQ(parser.problem(), QuotedFieldParser::Problem::None);
    EXPECT_EQ(parser.takeValues(), (QStringList{"x", "y"}));
}
