#include "shell/Failure.h"
#include "support/TestEnvironment.h"
#include "support/TextFileKit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <thread>

TEST(FileSnapshot, Utf16FilesAreReadAsUtf16) {
    const QString text = QString::fromUtf16(u"Name,Wort\r\nJ\u00FCrgen,Gr\u00F6\u00DFe \U0001F600"
                                            u"\r\n\uFEFFzwei,\u20AC\r\n");
    QByteArray little("\xFF\xFE");
    QByteArray big("\xFE\xFF");
    for (const QChar c : text) {
        little.append(static_cast<char>(c.unicode() & 0xFF))
            .append(static_cast<char>(c.unicode() >> 8));
        big.append(static_cast<char>(c.unicode() >> 8))
            .append(static_cast<char>(c.unicode() & 0xFF));
    }
    const QStringList expected{"Name,Wort",
                               QString::fromUtf16(u"J\u00FCrgen,Gr\u00F6\u00DFe \U0001F600"),
                               QString::fromUtf16(u"\uFEFFzwei,\u20AC"), ""};
    QTemporaryDir dir;
    for (const QByteArray& bytes : {little, big}) {
        auto file = snapshot(writeTestFile(dir, "u.txt", bytes));
        EXPECT_EQ(readAll(*file, 3), expected);
        EXPECT_TRUE(file->note().isEmpty());
    }
    // A byte short of whole code units, or a lone surrogate, is told.
    auto odd = snapshot(writeTestFile(dir, "odd.txt", little + "x"));
    EXPECT_EQ(readAll(*odd).value(0), "Name,Wort");
    EXPECT_TRUE(odd->note().contains("is not valid UTF-16")) << odd->note().toStdString();
    auto lone = snapshot(writeTestFile(dir, "lone.txt",
                                       QByteArray("\xFF\xFE"
                                                  "a\0\x00\xD8,\0",
                                                  8)));
    readAll(*lone);
    EXPECT_TRUE(lone->note().contains("is not valid UTF-16"));
}

TEST(FileSnapshot, PipesAndDevicesAreReadOnceIntoATemporaryCopy) {
    QTemporaryDir dir;
    QTemporaryDir temporary; // the copies' folder, watched for names they leave
    const QByteArray oldTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    std::thread writer([&] {
        QFile out(fifo);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly)); // waits for the reader
        for (int i = 0; i < 3000; ++i)
            out.write(QByteArray::number(i) + ",row\n");
    });
    auto file = snapshot(fifo);
    writer.join();
    ASSERT_TRUE(file);
    // Read twice, the same lines both times: the copy is read, not the pipe.
    for (int pass = 0; pass < 2; ++pass) {
        const QStringList lines = readAll(*file);
        ASSERT_EQ(lines.size(), 3001);
        EXPECT_EQ(lines[2999], "2999,row");
    }
    // The copy has no name, even while it is in use.
    EXPECT_EQ(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());
    if (oldTemporary.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTemporary);

    // A character device.
    EXPECT_EQ(readAll("/dev/null"), QStringList());

    // A pipe nobody writes to: given up as soon as cancel answers yes.
    std::atomic<int> asked{0};
    const auto none = FileSnapshot::open(fifo, [&] { return ++asked > 3; });
    EXPECT_FALSE(none);
    EXPECT_EQ(asked.load(), 4);

    EXPECT_THROW(snapshot(dir.filePath("missing")), Failure);
    EXPECT_THROW(snapshot(dir.path()), Failure);
}

// A stop asked while a file is converted from UTF-16 or unpacked gives the reading up, as it
// does while a pipe is awaited; without it, the same files open.
TEST(FileSnapshot, ConvertingAndUnpackingCanBeGivenUp) {
    QTemporaryDir dir;
    const QString wide =
        writeTestFile(dir, "w.txt", utf16LittleEndian(QStringLiteral("a,b\n").repeated(300000)));
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-c")});
    gzip.write("a,b\n1,2\n");
    gzip.closeWriteChannel();
    ASSERT_TRUE(gzip.waitForFinished());
    const QString packed = writeTestFile(dir, "p.gz", gzip.readAllStandardOutput());
    std::atomic<int> asked{0};
    const auto stop = [&] { return ++asked > 0; };
    EXPECT_EQ(FileSnapshot::open(wide, stop), nullptr);
    EXPECT_EQ(FileSnapshot::open(packed, stop), nullptr);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(FileSnapshot::open(wide, {})->size(), 4 * 300000);
    EXPECT_EQ(FileSnapshot::open(packed, {})->size(), 8);
}
