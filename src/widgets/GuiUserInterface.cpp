#include "widgets/GuiUserInterface.h"

#include "shell/AppTitle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>

namespace {

// Box texts use CR LF and lone CR as line breaks; the box shows plain LF.
QString displayText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void prepareBox(QMessageBox& box, const QString& text) {
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
}

// The width inside a box's margins that its title bar needs.
int innerTitleWidth(const QDialog& box) {
    const QStyle* style = box.style();
    return titleBarWidth(box.windowTitle()) -
           style->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, &box) -
           style->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, &box);
}

// A message box sizes itself to its text when it is shown, whatever least width was set on it;
// a spacer across the bottom of its layout raises the width that sizing starts from. Called
// once the box's text and buttons are in place, since a new icon lays the box out afresh.
void keepTitleWhole(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    grid->addItem(
        new QSpacerItem(innerTitleWidth(box), 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
        grid->rowCount(), 0, 1, grid->columnCount());
}

// A box of the active window, on the heap and watched: that window may go while the box waits
// (the program ending), taking the box with it, which a box on the stack would then be deleted
// twice. Whoever shows it deletes it, unless it went.
QPointer<QMessageBox> newBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QPointer<QMessageBox> box =
        new QMessageBox(icon, title, QString(), QMessageBox::Ok, QApplication::activeWindow());
    prepareBox(*box, text);
    return box;
}

void showBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QPointer<QMessageBox> box = newBox(icon, title, text);
    keepTitleWhole(*box);
    box->exec();
    delete box;
}

} // namespace

int titleBarWidth(const QString& title) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    const QFontMetrics metrics(font);
    // The icon and the three buttons are each about a line high and as wide, with gaps between
    // them and at the bar's ends: eight lines' heights hold them all.
    return metrics.horizontalAdvance(title) + 8 * metrics.height();
}

void GuiUserInterface::message(const QString& text) {
    showBox(QMessageBox::NoIcon, applicationTitle(), text);
}

void GuiUserInterface::applicationError(const QString& text) {
    showBox(QMessageBox::Warning, QStringLiteral("Application Error"), text);
}

bool GuiUserInterface::rejectedRowError(const QString& text) {
    QPointer<QMessageBox> box =
        newBox(QMessageBox::Warning, QStringLiteral("Application Error"), text);
    QPushButton* listRest =
        box->addButton(QStringLiteral("List the rest at the end"), QMessageBox::ActionRole);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    keepTitleWhole(*box);
    box->exec();
    const bool listed = box && box->clickedButton() == listRest;
    delete box;
    return listed;
}

QString GuiUserInterface::inputText(const QString& prompt, const QString& defaultAnswer) {
    // On the heap and watched, as the message boxes are.
    QPointer<QInputDialog> box = new QInputDialog(QApplication::activeWindow());
    box->setWindowTitle(applicationTitle());
    box->setLabelText(displayText(prompt));
    box->setTextValue(defaultAnswer);
    // The box lays itself out when shown, no wider than its contents need: its field is made
    // as wide as the title bar needs.
    if (auto* field = box->findChild<QLineEdit*>())
        field->setMinimumWidth(innerTitleWidth(*box));
    const bool accepted = box->exec() == QDialog::Accepted;
    if (!box)
        return QString();
    const QString answer = accepted ? box->textValue() : QString();
    delete box;
    return answer;
}
