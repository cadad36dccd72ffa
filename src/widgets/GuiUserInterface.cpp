#include "widgets/GuiUserInterface.h"

#include "shell/AppTitle.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

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

void showBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, QString(), QMessageBox::Ok, QApplication::activeWindow());
    prepareBox(box, text);
    box.exec();
}

} // namespace

void GuiUserInterface::message(const QString& text) {
    showBox(QMessageBox::NoIcon, applicationTitle(), text);
}

void GuiUserInterface::applicationError(const QString& text) {
    showBox(QMessageBox::Warning, QStringLiteral("Application Error"), text);
}

bool GuiUserInterface::rejectedRowError(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), QString(),
                    QMessageBox::Ok, QApplication::activeWindow());
    prepareBox(box, text);
    QPushButton* listRest =
        box.addButton(QStringLiteral("List the rest at the end"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == listRest;
}

QString GuiUserInterface::inputText(const QString& prompt, const QString& defaultAnswer) {
    bool accepted = false;
    const QString answer =
        QInputDialog::getText(QApplication::activeWindow(), applicationTitle(), displayText(prompt),
                              QLineEdit::Normal, defaultAnswer, &accepted);
    return accepted ? answer : QString();
}
