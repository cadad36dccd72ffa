#pragma once

#include <QString>

class UserInterface;

// The support address named at the end of every "Application Error" message.
inline constexpr const char* SupportEmailAddress = "support@vantrell.example";

// The whole text of the "Application Error" message: the description, CR LF, the procedure's
// context text (which ends with a space), "at line " and the step number, CR CR, and the
// request to e-mail a screenshot.
QString applicationErrorText(const QString& context, int step, const QString& description);

// Shows the "Application Error" message through the user interface (its
// applicationErrorOfStep()) and returns once the user has closed it.
void ReportApplicationError(UserInterface& ui, const QString& context, int step,
                            const QString& description);
