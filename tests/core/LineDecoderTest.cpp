#include "support/TestEnvironment.h"
#include "support/TextFileKit.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

// Which lines the note names; the rule itself is checked in a whole run (ImportRunReadingTest).
TEST(LineDecoder, NamesTheLinesReadAsWindows1252WhenTheFileAlsoHoldsUtf8) {
    QTemporaryDir dir;
    Record record;
    const struct {
        const char* name;
        QByteArray bytes;
        std::optional<QString> lines; // the list the note names; no value: no note
    } cases[] = {
        {"valid UTF-8 throughout", "a\n\xC3\xA9\n", std::nullopt},
        {"Windows-1252 throughout", "a\n\xE9t\xE9\n\xFC\n", std::nullopt},
        {"UTF-8 only in the line that is not valid", "a\n\xC3\xA9t\xE9\n", "1"},
        {"two lines", "\xC3\xA9\n\xE9\nx\n\xE9\n", "1 and 3"},
        {"three lines", "\xC3\xA9\n\xE9\n\xE9\n\xE9\n", "1, 2 and 3"},
        {"more than ten", QByteArray("\xC3\xA9\n") + QByteArray("\xE9\n").repeated(12),
         "1, 2, 3, 4, 5, 6, 7, 8, 9, 10 and 2 more"},
    };
    for (const auto& c : cases) {
        const QString path = writeTestFile(dir, "c.csv", c.bytes);
        auto one = snapshot(path);
        RecordReader each(*one, FieldRule::Plain, ",");
        while (each.next(record)) {
        }
        const std::optional<QString> note = each.decoder().note(path);
        ASSERT_EQ(note.has_value(), c.lines.has_value()) << c.name;
        if (note) {
            EXPECT_TRUE(note->endsWith(": Line no " + *c.lines + ".")) << note->toStdString();
        }
    }
}
