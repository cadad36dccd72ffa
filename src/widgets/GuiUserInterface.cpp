#include "widgets/GuiUserInterface.h"

#include "shell/AppTitle.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// Box texts use CR LF and lone CR as line breaks; the box shows plain LF.
QString displayText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void showBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, displayText(text), QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

void GuiUserInterface::message(const QString& text) {
    showBox(QMessageBox::NoIcon, applicationTitle(), text);
}

void GuiUserInterface::applicationError(const QString& text) {
    showBox(QMessageBox::Warning, QStringLiteral("Application Error"), text);
}

QString GuiUserInterface::inputText(const QString& prompt, const QString& defaultAnswer) {
    bool accepted = false;
    const QString answer =
        QInputDialog::getText(QApplication::activeWindow(), applicationTitle(), displayText(prompt),
                              QLineEdit::Normal, defaultAnswer, &accepted);
    return accepted ? answer : QString();
}
