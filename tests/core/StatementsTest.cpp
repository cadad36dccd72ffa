#include "sending/Statements.h"
#include "import/TableNames.h"
#include "textfile/FieldSplitting.h"

#include <gtest/gtest.h>

TEST(Statements, InsertWritesEachValueByTheRules) {
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

// Into named columns: the first columns for the values a line has (all of them for more values,
// which the server then rejects), then the constant column and its value as text as it is.
TEST(Statements, InsertNamesTheTargetColumns) {
    const ColumnTargets reordered{{"b", "a"}, {}, {}};
    const ColumnTargets withPath{{"b", "a", "c"}, "src", "/in/x.csv"};
    const struct {
        const char* name;
        QStringList fields;
        ColumnTargets targets;
        FieldRule rule;
        QString statement;
    } cases[] = {
        {"by position", {"1", "2"}, {}, FieldRule::Plain, "INSERT INTO \"t\" VALUES('1','2');"},
        {"reordered",
         {"2", "1"},
         reordered,
         FieldRule::Plain,
         "INSERT INTO \"t\" (\"b\", \"a\") VALUES('2','1');"},
        {"constant",
         {"2", "1", "0"},
         withPath,
         FieldRule::Plain,
         "INSERT INTO \"t\" (\"b\", \"a\", \"c\", \"src\") VALUES('2','1','0','/in/x.csv');"},
        {"fewer values: the first columns",
         {"2", ""},
         withPath,
         FieldRule::Plain,
         "INSERT INTO \"t\" (\"b\", \"a\", \"src\") VALUES('2',NULL,'/in/x.csv');"},
        {"more values: every column, not cut",
         {"1", "2", "3"},
         reordered,
         FieldRule::Plain,
         "INSERT INTO \"t\" (\"b\", \"a\") VALUES('1','2','3');"},
        {"constant kept as it is, never NULL",
         {"1", "2"},
         {{"a", "b"}, "src", QStringLiteral("C:\\O'Neil \"x\"\t\u20ac")},
         FieldRule::Plain,
         QStringLiteral("INSERT INTO \"t\" (\"a\", \"b\", \"src\") "
                        "VALUES('1','2','C:\\O''Neil \"x\"\t\u20ac');")},
        {"empty constant is the empty text",
         {"1", "2"},
         {{"a", "b"}, "src", QString()},
         FieldRule::Plain,
         "INSERT INTO \"t\" (\"a\", \"b\", \"src\") VALUES('1','2','');"},
        {"names quoted",
         {"1", "2"},
         {{"we\"ird", "Mixed Case"}, "x\"); DROP TABLE t; --", "v"},
         FieldRule::Plain,
         "INSERT INTO \"t\" (\"we\"\"ird\", \"Mixed Case\", \"x\"\"); DROP TABLE t; --\") "
         "VALUES('1','2','v');"},
        {"quoted rule",
         {QString(), "\"q\""},
         withPath,
         FieldRule::Quoted,
         "INSERT INTO \"t\" (\"b\", \"a\", \"src\") VALUES(NULL,'\"q\"','/in/x.csv');"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildInsertStatement(QStringLiteral("t"), c.fields, c.rule, c.targets),
                  c.statement)
            << c.name;
    }
}

TEST(Statements, QuotedNamesCannotBreakOutOfTheQuotes) {
    EXPECT_EQ(quoteIdentifier(QStringLiteral("people")), QStringLiteral("\"people\""));
    EXPECT_EQ(quoteIdentifier(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));
    EXPECT_EQ(BuildInsertStatement(QStringLiteral("x\"; DROP TABLE t; --"), {"1", "2"}),
              QStringLiteral("INSERT INTO \"x\"\"; DROP TABLE t; --\" VALUES('1','2');"));
    EXPECT_EQ(BuildCreateTableStatement(QStringLiteral("a\"b"), {"c"}),
              QStringLiteral("CREATE TABLE \"a\"\"b\"(\"c\" TEXT);"));
    // A listed table is taken as SQL only when it is one or two names as SQL writes them;
    // anything else is one name, quoted whole.
    const std::pair<const char*, const char*> listed[] = {
        {"orders", "\"orders\""},
        {"sales.orders", "sales.orders"},
        {"\"Odd Schema\".\"T\"\"x\"", "\"Odd Schema\".\"T\"\"x\""},
        {"\"a.b\"", "\"a.b\""},
        {"sales.orders; DROP TABLE t", "\"sales.orders; DROP TABLE t\""},
        {"a.b.c", "\"a.b.c\""},
        {"Sales.orders", "\"Sales.orders\""},
        {"\"x\"; DROP TABLE t; --", "\"\"\"x\"\"; DROP TABLE t; --\""},
        {"\"open", "\"\"\"open\""},
    };
    for (const auto& [text, sql] : listed)
        EXPECT_EQ(tableReference(QString::fromUtf8(text)), QString::fromUtf8(sql)) << text;
}

TEST(Statements, CreateTableHasOneTextColumnPerName) {
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

TEST(Statements, NulCharacterIsFoundAndNamedWithLineAndFile) {
    EXPECT_FALSE(holdsNulCharacter({"a", "b"}));
    EXPECT_TRUE(holdsNulCharacter({"a", QStringLiteral("b") + QChar(0) + QStringLiteral("c")}));
    const QString text = nulCharacterRejection(7, QStringLiteral("/data/a.csv"));
    EXPECT_TRUE(text.contains(QStringLiteral("Line no 7 ")));
    EXPECT_TRUE(text.contains(QStringLiteral("/data/a.csv")));
    EXPECT_TRUE(text.contains(QStringLiteral("NUL")));
}
