#include "import/ColumnPlan.h"

#include <gtest/gtest.h>

// How a file's fields are planned into a table's columns: by the names of its first line, by
// position around a file-name column, and for a new table.

namespace {

const QStringList Columns{"id", "FirstName", "first_name", "Qty", "src"};
const QString Path = QStringLiteral("/data/june.csv");
const QString Suffix = QStringLiteral("; the table's columns are \"id\", \"FirstName\", "
                                      "\"first_name\", \"Qty\", \"src\"; no row was sent.");
const QString Lead =
    QStringLiteral("the fields of its first line do not match the table's columns by name: ");

} // namespace

TEST(ColumnPlan, ByNamesEachFieldFindsItsOneColumnOrTheFileIsPassedOver) {
    const struct {
        const char* name;
        QStringList header;
        QString fileColumn;
        QStringList fieldColumns; // planned, when there is no problem
        QString problem;
    } cases[] = {
        {"exact names in another order", {"Qty", "id"}, "", {"Qty", "id"}, ""},
        {"an exact name wins over a loose one",
         {"first_name", "FirstName"},
         "",
         {"first_name", "FirstName"},
         ""},
        {"case and signs aside", {"QTY", "I-D"}, "", {"Qty", "id"}, ""},
        {"a subset, the rest left to defaults", {"id"}, "src", {"id"}, ""},
        {"a loose name of two columns",
         {"First Name", "id"},
         "",
         {},
         Lead + "\"First Name\" could name more than one column" + Suffix},
        {"names of no column",
         {"id", "Region", "", "Qty"},
         "",
         {},
         Lead + "no column is named \"Region\", \"\"" + Suffix},
        {"two fields for one column",
         {"qty", "Q ty", "id"},
         "",
         {},
         Lead + "\"qty\", \"Q ty\" all name the column \"Qty\"" + Suffix},
        {"a field naming the file-name column",
         {"id", "SRC"},
         "src",
         {},
         Lead + "\"SRC\" names the column that records the file name" + Suffix},
        {"every problem at once",
         {"x", "firstname", "id", "ID", "src"},
         "src",
         {},
         Lead +
             "no column is named \"x\"; \"firstname\" could name more than one column; \"id\", "
             "\"ID\" all name the column \"id\"; \"src\" names the column that records the file "
             "name" +
             Suffix},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ColumnPlan plan =
            ColumnPlan::forAppend({true, c.fileColumn}, c.header, Columns, Path);
        EXPECT_EQ(plan.problem(), c.problem);
        EXPECT_TRUE(plan.countsAgree()) << "no count is compared by names";
        EXPECT_EQ(plan.targets().fieldColumns, c.fieldColumns);
        const bool recorded = c.problem.isEmpty() && !c.fileColumn.isEmpty();
        EXPECT_EQ(plan.targets().constantColumn, recorded ? c.fileColumn : QString());
        EXPECT_EQ(plan.targets().constantValue, recorded ? Path : QString());
    }
}

TEST(ColumnPlan, ByPositionTheFileNameColumnIsLeftOutOfTheFieldsColumns) {
    const QStringList table{"a", "src", "b"};
    // Neither option: nothing planned, the counts compared as ever.
    ColumnPlan plain = ColumnPlan::forAppend({}, {"x", "y", "z"}, table, Path);
    EXPECT_TRUE(plain.targets().byPosition());
    EXPECT_TRUE(plain.countsAgree());
    EXPECT_FALSE(ColumnPlan::forAppend({}, {"x", "y"}, table, Path).countsAgree());

    const ColumnPlan recorded = ColumnPlan::forAppend({false, "src"}, {"x", "y"}, table, Path);
    EXPECT_TRUE(recorded.problem().isEmpty());
    EXPECT_TRUE(recorded.countsAgree());
    EXPECT_EQ(recorded.targets().fieldColumns, (QStringList{"a", "b"}));
    EXPECT_EQ(recorded.targets().constantColumn, "src");
    EXPECT_EQ(recorded.targets().constantValue, Path);

    const ColumnPlan tooMany = ColumnPlan::forAppend({false, "src"}, {"x", "y", "z"}, table, Path);
    EXPECT_FALSE(tooMany.countsAgree());
    EXPECT_EQ(tooMany.columnsForFields(), 2);

    for (const bool byNames : {false, true}) {
        const ColumnPlan missing = ColumnPlan::forAppend({byNames, "Src"}, {"a", "b"}, table, Path);
        EXPECT_EQ(missing.problem(), "the table has no column \"Src\" to record the file name in; "
                                     "no row was sent.");
    }
}

TEST(ColumnPlan, ANewTableGetsTheFileNameColumnLastUnlessAFieldHasItsName) {
    const ColumnPlan none = ColumnPlan::forCreate("", {"a", "b"}, Path);
    EXPECT_TRUE(none.targets().byPosition());
    EXPECT_EQ(none.createdColumns(), (QStringList{"a", "b"}));

    const ColumnPlan recorded = ColumnPlan::forCreate("source file", {"a", "b"}, Path);
    EXPECT_EQ(recorded.createdColumns(), (QStringList{"a", "b", "source file"}));
    EXPECT_EQ(recorded.targets().fieldColumns, (QStringList{"a", "b"}));
    EXPECT_EQ(recorded.targets().constantValue, Path);

    // Compared as the server compares quoted names: exactly.
    EXPECT_TRUE(ColumnPlan::forCreate("A", {"a", "b"}, Path).problem().isEmpty());
    EXPECT_EQ(ColumnPlan::forCreate("a", {"a", "b"}, Path).problem(),
              "the column \"a\" that records the file name is also a column of the file; no "
              "table was created and no row was sent.");
}
