#include "import/TableNames.h"

#include <gtest/gtest.h>

TEST(TableNames, ColumnNamesKeepOnlyAsciiLettersAndDigits) {
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
