#include "sending/Statements.h"
#include "import/TableNames.h"
#include "textfile/FieldSplitting.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char* name;
    QString line;
    QString separator;
    QStringList fields;
};

} // namespace

TEST(SplitFields, CutsPlainlyAtTheWholeSeparator) {
    const SplitCase cases[] = {
        {"plain", "a,b,c", ",", {"a", "b", "c"}},
        {"empty line has no fields", "", ",", {}},
        {"no separator in the line", "abc", ",", {"abc"}},
        {"separator only", ",", ",", {"", ""}},
        {"side by side, start and end", ",a,,b,", ",", {"", "a", "", "b", ""}},
        {"quotes mean nothing", "\"Smith, John\",x", ",", {"\"Smith", " John\"", "x"}},
        {"nothing is trimmed", " a , b ", ",", {" a ", " b "}},
        {"two-character separator", "a||b|c||", "||", {"a", "b|c", ""}},
        {"three bars: the first pair cuts", "a|||b", "||", {"a", "|b"}},
        {"letters match in the same case only", "aXbxc", "x", {"aXb", "c"}},
        {"empty separator keeps the line whole", "a,b", "", {"a,b"}},
        {"tab", "a\tb", "\t", {"a", "b"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(SplitFields(c.line, c.separator), c.fields) << c.name;
        EXPECT_EQ(fieldCount(c.line, c.separator), c.fields.size()) << c.name;
    }
}

TEST(BuildInsertStatement, WritesEachValueByTheRules) {
    EXPECT_EQ(BuildInsertStatement(
                  QStringLiteral("NewTable1"),
                  SplitFields(QStringLiteral("Peter,O'Neil,,\"NH\""), QStringLiteral(","))),
              QStringLiteral("INSERT INTO \"NewTable1\" VALUES('Peter','O''Neil',NULL,'NH');"));

    // Each value in the second position, after a plain first one.
    const struct {
        QString field;
        QString written;
    } values[] = {
        {"Peter", "'Peter'"}, {"O'Neil", "'O''Neil'"}, {"\"NH\"", "'NH'"},
        {"", "NULL"},         {"\"\"", "NULL"},        {"   ", "'   '"},
        {"a\\b", "'a\\b'"},   {"''", "''''''"},        {"Größe €", "'Größe €'"},
    };
    for (const auto& v : values) {
        EXPECT_EQ(BuildInsertStatement(QStringLiteral("t"), {QStringLiteral("x"), v.field}),
                  QStringLiteral("INSERT INTO \"t\" VALUES('x',") + v.written +
                      QStringLiteral(");"))
            << v.field.toStdString();
    }
    // An empty first field is the empty text, never NULL.
    EXPECT_EQ(BuildInsertStatement(QStringLiteral("t"), {QString(), QString()}),
              QStringLiteral("INSERT INTO \"t\" VALUES('',NULL);"));
    EXPECT_EQ(BuildInsertStatement(QStringLiteral("Mixed Case"), {QStringLiteral("a")}),
              QStringLiteral("INSERT INTO \"Mixed Case\" VALUES('a');"));
}

TEST(QuotedNames, CannotBreakOutOfTheQuotes) {
    EXPECT_EQ(quoteIdentifier(QStringLiteral("people")), QStringLiteral("\"people\""));
    EXPECT_EQ(quoteIdentifier(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));
    EXPECT_EQ(BuildInsertStatement(QStringLiteral("x\"; DROP TABLE t; --"), {"1", "2"}),
              QStringLiteral("INSERT INTO \"x\"\"; DROP TABLE t; --\" VALUES('1','2');"));
    EXPECT_EQ(BuildCreateTableStatement(QStringLiteral("a\"b"), {"c"}),
              QStringLiteral("CREATE TABLE \"a\"\"b\"(\"c\" TEXT);"));
}

TEST(BuildCreateTableStatement, OneTextColumnPerName) {
    QStringList columns;
    for (const QString& field :
         SplitFields(QStringLiteral("First Name,E-mail,Zip"), QStringLiteral(",")))
        columns.append(LettersAndDigitsOnly(field));
    EXPECT_EQ(
        BuildCreateTableStatement(ExpandTableName(QStringLiteral("NewTable[counter]"), 2), columns),
        QStringLiteral(
            "CREATE TABLE \"NewTable2\"(\"FirstName\" TEXT, \"Email\" TEXT, \"Zip\" TEXT);"));
    // Without any column the removal of two characters takes the parenthesis and the quote
    // before it; the server rejects what is left.
    EXPECT_EQ(BuildCreateTableStatement(QStringLiteral("T"), {}),
              QStringLiteral("CREATE TABLE \"T);"));
}

TEST(ColumnNames, KeepOnlyAsciiLettersAndDigits) {
    const struct {
        QString header;
        QString column;
    } cases[] = {
        {"First Name", "FirstName"},
        {"E-mail", "Email"},
        {"Zip", "Zip"},
        {"2nd_Phone", "2ndPhone"},
        {"Größe", "Gre"},
        {"#", ""},
        {"\"quoted\"", "quoted"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LettersAndDigitsOnly(c.header), c.column) << c.header.toStdString();

    EXPECT_EQ(FilterCharacters(QStringLiteral("aAbB"), QStringLiteral("ab"), true),
              QStringLiteral("ab"));
    EXPECT_EQ(FilterCharacters(QStringLiteral("aAbB"), QStringLiteral("ab"), false),
              QStringLiteral("AB"));
}

TEST(TableNames, TemplateAndListRules) {
    const struct {
        QString nameTemplate;
        int position;
        QString name;
    } expansions[] = {
        {"NewTable[counter]", 3, "NewTable3"},
        {"[counter]_x_[counter]", 12, "12_x_12"},
        {"NewTable[Counter]", 2, "NewTable[Counter]"},
        {"Fixed", 5, "Fixed"},
        {"", 1, ""},
    };
    for (const auto& e : expansions)
        EXPECT_EQ(ExpandTableName(e.nameTemplate, e.position), e.name)
            << e.nameTemplate.toStdString();

    const QStringList list{"People", "orders"};
    EXPECT_TRUE(IsInListBox(list, QStringLiteral("people")));
    EXPECT_TRUE(IsInListBox(list, QStringLiteral("ORDERS")));
    EXPECT_FALSE(IsInListBox(list, QStringLiteral("people ")));
    EXPECT_FALSE(IsInListBox({}, QString()));
}

TEST(NulCharacter, IsFoundAndNamedWithLineAndFile) {
    EXPECT_FALSE(holdsNulCharacter({"a", "b"}));
    EXPECT_TRUE(holdsNulCharacter({"a", QStringLiteral("b") + QChar(0) + QStringLiteral("c")}));
    const QString text = nulCharacterRejection(7, QStringLiteral("/data/a.csv"));
    EXPECT_TRUE(text.contains(QStringLiteral("Line no 7 ")));
    EXPECT_TRUE(text.contains(QStringLiteral("/data/a.csv")));
    EXPECT_TRUE(text.contains(QStringLiteral("NUL")));
}
