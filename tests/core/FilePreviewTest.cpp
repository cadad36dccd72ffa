#include "textfile/FilePreview.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using Encoding = FilePreview::Encoding;
using End = FilePreview::End;
using Problem = Record::Problem;

// A record as "LINE: value|value", NULL as <NULL>, then " !" and the problem's line for a
// malformed one.
QString describe(const PreviewRecord& record) {
    QStringList values;
    for (const QString& value : record.values)
        values << (value.isNull() ? QStringLiteral("<NULL>") : value);
    QString text = QStringLiteral("%1: %2").arg(record.line).arg(values.join(u'|'));
    if (record.fieldCount != record.values.size())
        text += QStringLiteral(" (%1 fields)").arg(record.fieldCount);
    if (record.problem == Problem::UnclosedQuote)
        text += QStringLiteral(" !open %1").arg(record.problemLine);
    if (record.problem == Problem::TextAfterQuote)
        text += QStringLiteral(" !after %1").arg(record.problemLine);
    return text;
}

QStringList describe(const FilePreview& preview) {
    QStringList records;
    for (const PreviewRecord& record : preview.records)
        records << describe(record);
    return records;
}

} // namespace

// Each file is cut as the import cuts it, as far as the bounds let the preview read.
TEST(FilePreview, CutsTheStartOfAFileAsTheImportDoes) {
    const struct {
        const char* name;
        QByteArray bytes;
        FieldRule rule;
        QStringList records;
        End end;
        Encoding encoding = Encoding::Utf8;
        qsizetype mostRecords = 200;
        qint64 mostBytes = 4 << 20;
    } cases[] = {
        {"plain: quotes dropped, later empty values NULL, empty lines left out",
         "a,b\r\n\"1\",x\"y\r\n\r\n,,\n",
         FieldRule::Plain,
         {"0: a|b", "1: 1|xy", "3: |<NULL>|<NULL>"},
         End::WholeFile},
        {"quoted: separators and line ends inside quotes, \"\" kept empty",
         "a,b\n\"1,2\",\"x\ny\"\n\"\",\n",
         FieldRule::Quoted,
         {"0: a|b", "1: 1,2|x\ny", "3: |<NULL>"},
         End::WholeFile},
        {"more records than the bound",
         "h\n1\n2\n3\n",
         FieldRule::Plain,
         {"0: h", "1: 1"},
         End::RecordLimit,
         Encoding::Utf8,
         2},
        {"empty lines after the last record count for nothing",
         "h\n1\n\n\n",
         FieldRule::Plain,
         {"0: h", "1: 1"},
         End::WholeFile,
         Encoding::Utf8,
         2},
        {"a line of the bound's records only is read",
         "h\n1\n\xE9\n",
         FieldRule::Plain,
         {"0: h", "1: 1"},
         End::RecordLimit,
         Encoding::Utf8,
         2},
        {"the bytes end inside a line: whole lines only",
         "a,b\n1,2\n3,4\n",
         FieldRule::Plain,
         {"0: a|b", "1: 1|2"},
         End::ByteLimit,
         Encoding::Utf8,
         200,
         10},
        {"a first line longer than the bytes is kept as far as read",
         "abcdef,g\n1,2\n",
         FieldRule::Plain,
         {"0: abcd"},
         End::ByteLimit,
         Encoding::Utf8,
         200,
         4},
        {"a quote never closed: the open value as far as the file goes",
         "a,b\n1,\"x\n2,3\n",
         FieldRule::Quoted,
         {"0: a|b", "1: 1|x\n2,3\n !open 1"},
         End::WholeFile},
        {"a quote open where the bytes end may still close",
         "a,b\n1,\"x\n2,3\n4,5\n",
         FieldRule::Quoted,
         {"0: a|b", "1: 1|x\n2,3\n !open 1"},
         End::ByteLimit,
         Encoding::Utf8,
         200,
         16},
        {"text after a closing quote ends the preview as it ends the import",
         "a,b\n\"1\"x,2\n3,4\n",
         FieldRule::Quoted,
         {"0: a|b", "1: 1 !after 1"},
         End::WholeFile,
         Encoding::Utf8,
         200,
         12},
        {"a malformed first record",
         "\"a,b\n",
         FieldRule::Quoted,
         {"0: a,b\n !open 0"},
         End::WholeFile},
        {"Windows-1252 alone",
         "a,b\n\xE9,\x80\n",
         FieldRule::Plain,
         {"0: a|b", QString::fromUtf8("1: é|€")},
         End::WholeFile,
         Encoding::Windows1252},
        {"UTF-8 with a Windows-1252 line",
         "a,b\n\xC3\xA9,1\n\xE9,2\n",
         FieldRule::Quoted,
         {"0: a|b", QString::fromUtf8("1: é|1"), QString::fromUtf8("2: é|2")},
         End::WholeFile,
         Encoding::Utf8WithWindows1252},
        {"UTF-16 cut by the bytes, whole lines only",
         utf16LittleEndian(QString::fromUtf8("a,b\r\n€,2\r\n3,4\r\n")),
         FieldRule::Plain,
         {"0: a|b", QString::fromUtf8("1: €|2")},
         End::ByteLimit,
         Encoding::Utf16LittleEndian,
         200,
         24},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeTestFile(dir, QStringLiteral("f.txt"), c.bytes);
        const FilePreview preview =
            previewFile(path, QStringLiteral(","), c.rule, c.mostRecords, c.mostBytes);
        EXPECT_EQ(preview.failure, QString());
        EXPECT_EQ(describe(preview), c.records);
        EXPECT_EQ(preview.end, c.end);
        EXPECT_EQ(preview.encoding, c.encoding);
        EXPECT_EQ(preview.note, QString()) << "a cut is no invalid UTF-16";
    }
}

TEST(FilePreview, SaysWhyNothingIsShown) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer clock;
    clock.start();
    const FilePreview pipe = previewFile(fifo, QStringLiteral(","), FieldRule::Plain, 200, 1000);
    EXPECT_LT(clock.elapsed(), 1000) << "a pipe without a writer is not waited for";
    EXPECT_FALSE(pipe.regular);
    EXPECT_TRUE(pipe.records.isEmpty());

    const FilePreview missing = previewFile(dir.filePath(QStringLiteral("none.csv")),
                                            QStringLiteral(","), FieldRule::Plain, 200, 1000);
    EXPECT_TRUE(missing.failure.startsWith(QStringLiteral("Could not open ")))
        << missing.failure.toStdString();

    const FilePreview empty = previewFile(writeTestFile(dir, QStringLiteral("e.csv"), ""),
                                          QStringLiteral(","), FieldRule::Plain, 200, 1000);
    EXPECT_TRUE(empty.noLines);
    const FilePreview blankFirst =
        previewFile(writeTestFile(dir, QStringLiteral("b.csv"), "\r\na,b\n"), QStringLiteral(","),
                    FieldRule::Quoted, 200, 1000);
    EXPECT_TRUE(blankFirst.firstLineEmpty);
    EXPECT_EQ(describe(blankFirst), QStringList{QStringLiteral("1: a|b")});
}

// A compressed file is shown as its content, unpacked only as far as the preview reads, and a
// UTF-16 file inside is converted as a plain one is.
TEST(FilePreview, ShowsTheContentOfACompressedFile) {
    QTemporaryDir dir;
    QByteArray bytes = "n,t\n";
    for (int n = 1; n <= 200000; ++n)
        bytes += QByteArray::number(n) + ",Grüße\n";
    const QString plain = writeTestFile(dir, QStringLiteral("p.csv"), bytes);
    const QString wide = writeTestFile(
        dir, QStringLiteral("w.csv"),
        QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(u"a,b\n1,é\n"), 16));
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-k"), plain, wide});
    ASSERT_TRUE(gzip.waitForFinished());
    ASSERT_EQ(gzip.exitCode(), 0);

    const FilePreview preview =
        previewFile(plain + ".gz", QStringLiteral(","), FieldRule::Plain, 3, 1000);
    EXPECT_TRUE(preview.failure.isEmpty()) << preview.failure.toStdString();
    EXPECT_EQ(describe(preview), (QStringList{"0: n|t", "1: 1|Grüße", "2: 2|Grüße"}));
    EXPECT_EQ(preview.end, End::RecordLimit);
    const FilePreview bounded =
        previewFile(plain + ".gz", QStringLiteral(","), FieldRule::Plain, 1000000, 1000);
    EXPECT_EQ(bounded.end, End::ByteLimit);
    EXPECT_LT(bounded.records.size(), 100);

    const FilePreview converted =
        previewFile(wide + ".gz", QStringLiteral(","), FieldRule::Plain, 10, 1000);
    EXPECT_EQ(converted.encoding, Encoding::Utf16LittleEndian);
    EXPECT_EQ(describe(converted), (QStringList{"0: a|b", "1: 1|é"}));
}
