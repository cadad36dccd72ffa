// What a person sees of the windows: labels, option buttons, check boxes and frames that show
// the window behind them instead of patches of their own.
#include "MainWindowFixture.h"

#include "report/RunReport.h"
#include "textfile/FieldRule.h"
#include "windows/Form2.h"
#include "windows/PreviewWindow.h"
#include "windows/RunReportWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSemaphore>
#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>

namespace {

// A colour no window draws.
const QColor Backdrop(255, 0, 255);

// A point of a control where it draws neither text nor a line, in its own coordinates: right
// of a label's or a button's caption when the control is wider than it, near the bottom of a
// frame's inside where no control of the frame lies. None for other controls.
std::optional<QPoint> bareSpot(const QWidget* control) {
    const QPoint right(control->width() - 3, control->height() / 2);
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        const int text = label->fontMetrics().horizontalAdvance(label->text());
        if (!label->text().contains(QLatin1Char('\n')) && text + 8 < label->contentsRect().width())
            return right;
        return std::nullopt;
    }
    if (qobject_cast<const QCheckBox*>(control) || qobject_cast<const QRadioButton*>(control)) {
        if (control->sizeHint().width() + 8 < control->width())
            return right;
        return std::nullopt;
    }
    if (qobject_cast<const QGroupBox*>(control)) {
        const QPoint inside(control->width() / 2, control->height() - 4);
        if (!control->childAt(inside))
            return inside;
    }
    return std::nullopt;
}

// Each of the window's labels, options, check boxes and frames drawn on its own over the
// backdrop, as over a style's gradient or texture: those whose bare spot covers it, at the given
// pixel density.
QStringList patchesOf(const QWidget* window, qreal ratio) {
    QStringList patches;
    int checked = 0;
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        const std::optional<QPoint> spot = bareSpot(control);
        if (!control->isVisibleTo(window) || !spot)
            continue;
        ++checked;
        QPixmap shown(control->size() * ratio);
        shown.setDevicePixelRatio(ratio);
        shown.fill(Backdrop);
        control->render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);
        if (shown.toImage().pixelColor(*spot * ratio) != Backdrop)
            patches << QStringLiteral("%1 %2").arg(
                QLatin1String(control->metaObject()->className()), control->objectName());
    }
    if (checked == 0)
        patches << QStringLiteral("(no control checked)");
    return patches;
}

using WindowLook = MainWindowFixture;

} // namespace

// Every window that takes the button-face colouring fills its own background and nothing
// else: what lies around a caption is the window, at the ordinary and a fractional density.
TEST_F(WindowLook, LabelsOptionsAndFramesShowTheWindowBehindThem) {
    start();
    const QString path = writeTestFile(folder, QStringLiteral("a.csv"), "a,b\n1,2\n3\n");
    PreviewWindow preview(path);
    preview.setReading(QStringLiteral(","), FieldRule::Plain);
    RunReportWindow report(std::make_shared<RunReport>(), windows.ui);
    QTest::mouseClick(main->Option2, Qt::LeftButton);
    const struct {
        const char* name;
        QWidget* window;
    } cases[] = {
        {"main window, append chosen", main},
        {"preview", &preview},
        {"Import Report", &report},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.window->show();
        for (const qreal ratio : {1.0, 1.5})
            EXPECT_EQ(patchesOf(c.window, ratio).join(QStringLiteral(", ")).toStdString(), "")
                << "at " << ratio;
    }
}

// The bottom buttons stand as far above the window's bottom edge as the frames stand in from
// its sides, at the designed size, grown and maximised; the progress row of a run keeps at
// least that margin below its Cancel button.
TEST_F(WindowLook, BottomButtonsKeepTheMarginOfTheSides) {
    start();
    const int side = main->Frame1->x();
    ASSERT_GT(side, 0);
    const auto expectMargins = [&](const char* when) {
        for (QPushButton* button : {main->PushButton1, main->PushButton5})
            EXPECT_EQ(main->height() - (button->y() + button->height()), side)
                << when << ": " << button->objectName().toStdString();
        EXPECT_EQ(main->width() - (main->PushButton5->x() + main->PushButton5->width()), side)
            << when;
    };
    expectMargins("designed size");
    const QSize designed = main->size();
    main->showMaximized();
    ASSERT_TRUE(waitUntil([&] { return main->isMaximized() && main->size() != designed; }));
    expectMargins("maximised");
    main->showNormal();
    ASSERT_TRUE(waitUntil([&] { return !main->isMaximized(); }));
    main->resize(designed + QSize(301, 203));
    expectMargins("grown");

    addFile(QStringLiteral("big.csv"), numberedLines(400000));
    clickImport();
    ASSERT_TRUE(
        waitUntil([&] { return !main->importRunning() || main->PushButtonCancel->isVisible(); }));
    ASSERT_TRUE(main->importRunning()) << "the run ended before its progress showed";
    QPushButton* cancel = main->PushButtonCancel;
    EXPECT_GE(main->height() - (cancel->y() + cancel->height()), side);
    EXPECT_GE(cancel->y(), main->PushButton1->y() + main->PushButton1->height());
    clickInWindow(cancel, cancel->rect().center());
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
}

// A run started by a click on Import greys every control of the window, captions, frames and
// "?" included, but Cancel and the progress text; when it ends each control is back as it was,
// in either table option.
TEST_F(WindowLook, ARunGreysEveryControlAndGivesEachItsStateBack) {
    start();
    QSemaphore goOn;
    std::atomic<bool> running{false};
    main->setImportEngine([&](const ImportChoices&, ImportFrontEnd&) {
        running = true;
        goOn.acquire();
        return ImportResult{ImportOutcome::Done, 1, 1, 0};
    });
    main->addFileEntry(QStringLiteral("/data/a.csv"));
    // Whether each control is enabled, and the controls that stay live during the run.
    const auto states = [&] {
        std::map<QString, bool> enabled;
        for (const QWidget* control : main->findChildren<QWidget*>()) {
            if (!control->objectName().isEmpty() && control->isVisibleTo(main))
                enabled[control->objectName()] = control->isEnabled();
        }
        return enabled;
    };
    const auto live = [&] {
        QStringList names;
        for (const auto& [name, enabled] : states()) {
            if (enabled)
                names << name;
        }
        return names.join(QLatin1Char(' ')).toStdString();
    };
    for (QRadioButton* option : {main->Option2, main->Option1}) {
        SCOPED_TRACE(option->objectName().toStdString());
        clickMark(option);
        ASSERT_TRUE(option->isChecked());
        const std::map<QString, bool> before = states();
        running = false;
        clickImport();
        ASSERT_TRUE(waitUntil([&] { return running.load(); }));
        // The first frame has no caption, so it looks the same either way.
        EXPECT_EQ(live(), "Frame1");
        goOn.release();
        ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
        EXPECT_TRUE(states() == before);
    }
}
