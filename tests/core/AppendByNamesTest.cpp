#include "support/ImportFixture.h"

// Files whose columns drift, appended by the names of their first lines into a typed table,
// by COPY and row by row; the path of each row's file recorded in a column of its own, in
// append and in create mode; and with both options off, the values by position as ever.

class AppendByNamesTest : public ImportFixture {
protected:
    void SetUp() override {
        m_db.execute("CREATE SCHEMA sales");
        for (const char* schema : {"public", "sales"})
            m_db.execute(QStringLiteral("CREATE TABLE %1.orders(id int, \"FirstName\" text, qty "
                                        "numeric(5,1), note text DEFAULT 'none')")
                             .arg(QString::fromUtf8(schema)));
    }

    ImportResult run(const QStringList& files, const QString& table, bool rowByRow, bool matchNames,
                     const QString& fileColumn = QString()) {
        ImportChoices choices = append(files, table);
        EXPECT_GE(choices.selectedTable, 0) << table.toStdString();
        choices.rowByRow = rowByRow;
        choices.matchNames = matchNames;
        choices.fileColumn = fileColumn;
        m_ui = RecordingFrontEnd();
        return runImport(choices, m_ui);
    }
};

TEST_F(AppendByNamesTest, PermutedSubsetAndSupersetHeadersLandInTheColumnsTheyName) {
    const QString permuted = file("permuted.csv", "note,qty,FirstName,id\nhi,1.5,Ann,1\n");
    const QString subset = file("subset.csv", "ID,First Name\n2,Bob\n");
    const QString superset = file("superset.csv", "id,FirstName,qty,Region\n3,Cy,2,north\n");
    const QString wrongType = file("wrongtype.csv", "qty,id\n7,x\n8,4\n");
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "by COPY");
        m_db.execute("TRUNCATE public.orders, sales.orders");
        const ImportResult result =
            run({permuted, subset, superset, wrongType}, "sales.orders", rowByRow, true);
        EXPECT_EQ(m_db.rows("SELECT * FROM sales.orders ORDER BY id"),
                  (QStringList{"1|Ann|1.5|hi", "2|Bob|<NULL>|none", "4|<NULL>|8.0|none"}));
        EXPECT_EQ(m_db.count("public.orders"), 0) << "the table of the same name elsewhere";
        EXPECT_EQ(result.filesPassedOver, 1);
        EXPECT_EQ(m_ui.messages.first(),
                  superset + " was passed over: the fields of its first line do not match the "
                             "table's columns by name: no column is named \"Region\"; the "
                             "table's columns are \"id\", \"FirstName\", \"qty\", \"note\"; no "
                             "row was sent.");
        // The value "x" is rejected by the type of the column it goes into, id, at its line.
        ASSERT_EQ(m_ui.errorPlaces, QStringList{wrongType + ":2"})
            << m_ui.errors.join("\n").toStdString();
        EXPECT_TRUE(m_ui.errors.first().contains("invalid input syntax for type integer: \"x\""))
            << m_ui.errors.first().toStdString();
    }
}

TEST_F(AppendByNamesTest, WithTheOptionOffValuesGoByPositionAsEver) {
    // Every value fits the column its position gives it: the rows land silently wrong.
    const QString permuted = file("permuted.csv", "note,FirstName,qty,id\n5,Ann,1.5,1\n");
    const QString subset = file("subset.csv", "id,FirstName\n2,Bob\n");
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "by COPY");
        m_db.execute("TRUNCATE public.orders");
        const ImportResult result = run({permuted, subset}, "orders", rowByRow, false);
        EXPECT_EQ(m_db.rows("SELECT * FROM public.orders"), QStringList{"5|Ann|1.5|1"});
        EXPECT_EQ(result.filesPassedOver, 1) << "the subset has too few columns";
    }
}

TEST_F(AppendByNamesTest, EachRowRecordsItsFilesPathInAppendAndCreateMode) {
    m_db.execute("CREATE TABLE logged(id int, src text, v text)");
    const QString march = file("it's march.csv", "v,id\na,1\nb,2\n");
    const QString june = file("june.csv", "v,id\nc,3\n");
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "by COPY");
        m_db.execute("TRUNCATE logged");
        run({march, june}, "logged", rowByRow, true, "src");
        EXPECT_EQ(m_db.rows("SELECT id, v, src FROM logged ORDER BY id"),
                  (QStringList{"1|a|" + march, "2|b|" + march, "3|c|" + june}));
        // By position the fields fill the columns other than the file's, in table order.
        m_db.execute("TRUNCATE logged");
        run({file("plain.csv", "n,text\n4,d\n")}, "logged", rowByRow, false, "src");
        EXPECT_EQ(m_db.rows("SELECT id, v, src FROM logged"),
                  QStringList{"4|d|" + m_dir.filePath("plain.csv")});
    }

    dropAll();
    ImportChoices choices = create({march, june}, "T[counter]");
    choices.fileColumn = "source file";
    m_ui = RecordingFrontEnd();
    runImport(choices, m_ui);
    EXPECT_EQ(m_db.columnsOf("T1"), (QStringList{"v text", "id text", "source file text"}));
    EXPECT_EQ(m_db.rowsOf("T1"), (QStringList{"a|1|" + march, "b|2|" + march}));
    EXPECT_EQ(m_db.rowsOf("T2"), QStringList{"c|3|" + june});
}
