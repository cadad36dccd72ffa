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
