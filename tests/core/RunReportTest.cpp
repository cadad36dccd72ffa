#include "support/ImportFixture.h"

#include "report/RunReport.h"
#include "sending/Statements.h"

#include <QDir>
#include <QFile>

// The report a run leaves: one event per thing left out, in file and line order, each rejected
// record with the server's SQLSTATE and its text as shown; the saved lines byte for byte.

namespace {

QString kindName(ReportEvent::Kind kind) {
    switch (kind) {
    case ReportEvent::Kind::Rejected:
        return QStringLiteral("rejected");
    case ReportEvent::Kind::NotSent:
        return QStringLiteral("not sent");
    case ReportEvent::Kind::PassedOver:
        return QStringLiteral("passed over");
    case ReportEvent::Kind::Failed:
        return QStringLiteral("failed");
    }
    return {};
}

// Each event as "NAME:LINE kind SQLSTATE | text", NAME the file's name.
QStringList shown(const RunReport& report) {
    QStringList rows;
    for (const ReportEvent& e : report.events(1000))
        rows << QStringLiteral("%1:%2 %3 %4 | %5")
                    .arg(QFileInfo(e.path).fileName())
                    .arg(e.line)
                    .arg(kindName(e.kind), e.sqlState, e.text);
    return rows;
}

} // namespace

class RunReportTest : public ImportFixture {};

// Values a type or a check refuses, and a NUL character no text can hold: each rejected line is
// an event with its own SQLSTATE (none for the NUL, which never reached the server) and its text
// with control characters made visible; the saved lines are the file's own.
TEST_F(RunReportTest, RejectedRecordsCarryTheirStateAndText) {
    m_db.execute("CREATE TABLE nums(label TEXT, n INTEGER CHECK (n <> 13))");
    const QByteArray bytes = "label,n\r\nr1,1\r\nr2,x2\r\nr3,13\r\nnul,1" + QByteArray(1, '\0') +
                             "2\r\ntab\t,4\r\nlast,5\r\n";
    const QString path = file("nums.csv", bytes);
    const ImportResult result = runImport(append({path}, "nums"), m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    ASSERT_TRUE(m_ui.report);
    const RunReport& report = *m_ui.report;
    EXPECT_EQ(shown(report),
              QStringList({"nums.csv:3 rejected 22P02 | r2,x2", "nums.csv:4 rejected 23514 | r3,13",
                           "nums.csv:5 rejected  | nul,1^@2"}))
        << "a line end's carriage return is no part of the text";
    EXPECT_EQ(report.events(1000)[2].what, nulCharacterRejection(4, path));
    EXPECT_EQ(report.linesRejected(), 3);
    EXPECT_TRUE(report.summary().startsWith(
        "1 of 1 file(s) imported, 3 row(s) in, 3 line(s) rejected, 0 line(s) not sent, 0 "
        "file(s) and 0 line(s) passed over, in "))
        << report.summary().toStdString();

    // Saved twice into one folder: the second pair gets names of its own.
    QTemporaryDir out;
    const QStringList first = report.saveRejectedInto(out.path() + "/new");
    const QStringList second = report.saveRejectedInto(out.path() + "/new");
    EXPECT_EQ(QFileInfo(first.value(0)).fileName(), "nums.csv.rejected");
    EXPECT_EQ(QFileInfo(second.value(0)).fileName(), "nums.csv.2.rejected");
    for (const QStringList& written : {first, second}) {
        ASSERT_EQ(written.size(), 2);
        EXPECT_EQ(readTestFile(written[0]),
                  "label,n\r\nr2,x2\r\nr3,13\r\nnul,1" + QByteArray(1, '\0') + "2\r\n");
        const QList<QByteArray> reasons = readTestFile(written[1]).split('\n');
        EXPECT_EQ(reasons.value(1),
                  "3,22P02,\"ERROR:  invalid input syntax for type integer: \"\"x2\"\"\"");
        EXPECT_EQ(reasons.value(2), "4,23514,\"ERROR:  new row for relation \"\"nums\"\" violates "
                                    "check constraint \"\"nums_n_check\"\"");
        EXPECT_EQ(reasons.value(3), "DETAIL:  Failing row contains (r3, 13).\"");
        EXPECT_TRUE(reasons.value(4).startsWith("5,,\"Line no 4 of ")) << reasons[4].toStdString();
        EXPECT_EQ(reasons.size(), 6) << "a header, four lines and the empty rest";
    }
}

// A file passed over, a long record over several lines: events in file and line order; a
// record's text is cut, its line breaks shown, its message the server's words. A clean run
// leaves an empty report.
TEST_F(RunReportTest, EventsComeInFileAndLineOrder) {
    m_db.execute("CREATE TABLE t(a varchar(3), b text)");
    const QString empty = file("empty.csv", "");
    const QByteArray longValue(400, 'v');
    const QString mixed =
        file("mixed.csv", "a,b\nlonger,\"two\nlines " + longValue + "\"\n1,2\nlong,3\n");
    const QString clean = file("clean.csv", "a,b\n1,2\n");
    ImportChoices choices = append({empty, mixed, clean}, "t");
    choices.quotedFields = true;
    const ImportResult result = runImport(choices, m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    ASSERT_TRUE(m_ui.report);
    const QStringList events = shown(*m_ui.report);
    ASSERT_EQ(events.size(), 3) << events.join("\n").toStdString();
    EXPECT_EQ(events[0], "empty.csv:0 passed over  | ");
    const QString cutText = "longer,\"two^Jlines " + QString(300 - 18, 'v') + "\u2026";
    EXPECT_EQ(events[1], "mixed.csv:2 rejected 22001 | " + cutText);
    EXPECT_EQ(events[2], "mixed.csv:5 rejected 22001 | long,3");
    EXPECT_EQ(m_ui.report->events(9)[1].what,
              "ERROR:  value too long for type character varying(3)")
        << "the server's words, not the statement around them";
    EXPECT_TRUE(m_ui.report->summary().startsWith(
        "2 of 3 file(s) imported, 2 row(s) in, 2 line(s) rejected, 0 line(s) not sent, 1 "
        "file(s) and 0 line(s) passed over"))
        << m_ui.report->summary().toStdString();

    m_ui.report.reset();
    runImport(append({clean}, "t"), m_ui);
    ASSERT_TRUE(m_ui.report);
    EXPECT_TRUE(m_ui.report->isEmpty());
    EXPECT_TRUE(m_ui.report->rejectedFiles().isEmpty());
}

// A database that refuses every row costs one not-sent event for each file, with the count of
// lines in the summary, and no kept lines: nothing of it is the lines' own fault.
TEST_F(RunReportTest, ARefusedTableIsOneEventPerFile) {
    m_db.execute("CREATE TABLE t(n text, t text)");
    m_db.execute(QStringLiteral("ALTER DATABASE \"%1\" SET default_transaction_read_only = on")
                     .arg(m_db.name()));
    const QString a = file("a.csv", numberedLines(40));
    const QString b = file("b.csv", numberedLines(7));
    runImport(append({a, b}, "t"), m_ui);
    m_db.execute(QStringLiteral("BEGIN READ WRITE; ALTER DATABASE \"%1\" RESET "
                                "default_transaction_read_only; COMMIT")
                     .arg(m_db.name()));
    ASSERT_TRUE(m_ui.report);
    EXPECT_EQ(shown(*m_ui.report), QStringList({"a.csv:2 not sent  | ", "b.csv:2 not sent  | "}));
    EXPECT_TRUE(m_ui.report->rejectedFiles().isEmpty());
    EXPECT_TRUE(m_ui.report->summary().contains("0 line(s) rejected, 47 line(s) not sent"))
        << m_ui.report->summary().toStdString();
}

// The field-count report ends the run without a closing message: what earlier files left out
// still comes in the report.
TEST_F(RunReportTest, AFieldCountStopKeepsWhatEarlierFilesLeftOut) {
    m_db.execute("CREATE TABLE t(a varchar(3), b text)");
    const QString first = file("first.csv", "a,b\nlong,1\nok,2\n");
    const QString second = file("second.csv", "a,b\n1,2,3\n");
    const ImportResult result = runImport(append({first, second}, "t"), m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::StoppedByFieldCount);
    ASSERT_TRUE(m_ui.report);
    EXPECT_EQ(shown(*m_ui.report), QStringList{"first.csv:2 rejected 22001 | long,1"});
}
