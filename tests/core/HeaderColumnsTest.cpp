#include "import/HeaderColumns.h"

#include <gtest/gtest.h>

TEST(HeaderColumns, NamesEveryFieldOrSaysWhichFieldsCanNotNameATable) {
    const QString letters63(63, QLatin1Char('E'));
    const QString rule = QStringLiteral(" (a name is made of a field's ASCII letters and digits)");
    const struct {
        const char* name;
        QStringList header;
        QString problem;
    } cases[] = {
        {"names kept, case and all", {"First Name", "E-mail", "a", "A", "3rd!"}, ""},
        {"an empty field",
         {"a", "", "c"},
         "in the first line, field 2 gives no column name" + rule},
        {"a trailing separator",
         {"a", "b", ""},
         "in the first line, field 3 gives no column name" + rule},
        {"signs only, and a null field",
         {"#", "a", QString(), "-- %"},
         "in the first line, fields 1, 3 and 4 give no column name" + rule},
        {"alike once signs are dropped",
         {"a b", "x", "ab", "a-b"},
         "in the first line, fields 1, 3 and 4 give the same column name \"ab\""},
        {"alike once cut to 63",
         {letters63 + "1", letters63 + "2"},
         "in the first line, fields 1 and 2 give the same column name \"" + letters63 + "\""},
        {"both at once",
         {"x", "", "x"},
         "in the first line, field 2 gives no column name" + rule +
             ", and fields 1 and 3 give the same column name \"x\""},
        {"many empty fields are counted past ten", QStringList(25, QString()),
         "in the first line, fields 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 and 15 more give no column "
         "name" +
             rule},
        {"many names given twice",
         {"a", "b", "c", "d", "e", "a", "b", "c", "d", "e"},
         "in the first line, fields 1 and 6 give the same column name \"a\", and fields 2 and 7 "
         "give the same column name \"b\", and fields 3 and 8 give the same column name \"c\", "
         "and 2 more names are given by more than one field"},
    };
    for (const auto& c : cases) {
        const HeaderColumns columns(c.header);
        EXPECT_EQ(columns.problem(), c.problem) << c.name;
        EXPECT_EQ(columns.names().size(), c.header.size()) << c.name;
    }
    EXPECT_EQ(HeaderColumns({"First Name", "E-mail"}).names(), (QStringList{"FirstName", "Email"}));
}
