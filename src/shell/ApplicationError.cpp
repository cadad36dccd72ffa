#include "shell/ApplicationError.h"

#include "shell/UserInterface.h"

QString applicationErrorText(const QString& context, int step, const QString& description) {
    return description + QStringLiteral("\r\n") + context + QStringLiteral("at line ") +
           QString::number(step) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QString::fromLatin1(SupportEmailAddress);
}

void ReportApplicationError(UserInterface& ui, const QString& context, int step,
                            const QString& description) {
    ui.applicationErrorOfStep(context, step, description);
}
