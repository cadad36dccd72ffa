#include "widgets/OpenFilesDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// A choice as the dialog takes it. The dialog matches names by the patterns in the last
// parentheses of a choice and, with its filter details hidden, shows the text in front of
// them. So "All Files (*.*)" becomes "All Files (*.*) (*)": shown as written, matching every
// name, where the toolkit's own "*.*" would hide the names without a dot.
QString dialogFilter(const QString& shown) {
    static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = patterns.match(shown);
    if (!match.hasMatch())
        return shown;
    QStringList matching = match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& pattern : matching) {
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
    }
    return shown + QStringLiteral(" (") + matching.join(QLatin1Char(' ')) + QLatin1Char(')');
}

} // namespace

QStringList OpenFilesDialog(QWidget* owner, const QString& title, const QStringList& filters,
                            const QString& startFolder) {
    const bool startExists = !startFolder.isEmpty() && QFileInfo(startFolder).isDir();
    QFileDialog dialog(owner, title, startExists ? startFolder : QDir::homePath());
    // The toolkit's own dialog everywhere: a desktop's native one would show the doubled
    // patterns that carry the matching.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList choices;
    for (const QString& filter : filters)
        choices.append(dialogFilter(filter));
    dialog.setNameFilters(choices);
    if (!choices.isEmpty())
        dialog.selectNameFilter(choices.first());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}
