#include "WindowTestKit.h"

#include "shell/Platform.h"
#include "widgets/WindowPointer.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

TEST(WindowPointer, CursorFilesGiveTheirHotSpot) {
    const QByteArray shipped =
        readTestFile(platform::fileBesideProgram(QStringLiteral("HAND-M.CUR")));
    QByteArray icon = shipped;
    icon[2] = 1; // the same picture stored as an icon
    const std::tuple<const char*, QByteArray, std::optional<QPoint>> cases[] = {
        {"the shipped hand cursor", shipped, QPoint(11, 1)},
        {"an icon file", icon, std::nullopt},
        {"a cut-off header", shipped.left(12), std::nullopt},
        {"PNG data", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(30, 0), std::nullopt},
    };
    for (const auto& [name, data, expected] : cases)
        EXPECT_EQ(cursorFileHotSpot(data), expected) << name;
}

TEST(WindowPointer, LoadsTheHandCursorByContent) {
    QTemporaryDir folder;
    const QString png = folder.filePath(QStringLiteral("png-inside.cur"));
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(png, "PNG"));
    const QString text = writeTestFile(folder, QStringLiteral("text.cur"), "not a picture");

    const std::tuple<const char*, QString, bool> cases[] = {
        {"a Windows cursor", platform::fileBesideProgram(QStringLiteral("HAND-M.CUR")), true},
        {"PNG bytes under a cursor name", png, true},
        {"text", text, false},
        {"a missing file", folder.filePath(QStringLiteral("missing.cur")), false},
    };
    for (const auto& [name, path, loads] : cases) {
        QWidget window;
        WindowPointer pointer(&window);
        EXPECT_EQ(pointer.loadHandCursor(path), loads) << name;
        pointer.setMode(WindowPointer::Mode::Custom);
        EXPECT_EQ(window.cursor().shape(), loads ? Qt::BitmapCursor : Qt::ArrowCursor) << name;
    }
}
