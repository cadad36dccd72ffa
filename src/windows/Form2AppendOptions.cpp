#include "windows/DesignedPlace.h"
#include "windows/Form2.h"

#include "shell/Settings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

// The append options below the table list: each file's fields matched to the table's columns
// by the names of its first line, and a column that records each row's file. Both are kept in
// the settings store and count in append mode only, where they are enabled.

void Form2::createAppendColumnOptions() {
    Check4 = place(new QCheckBox(QStringLiteral("Match columns by header names"), Frame4), "Check4",
                   120, 2040, 5535, 255);
    Check4->setToolTip(QStringLiteral(
        "Each field goes to the column its first-line name names, in any order: the same name, "
        "else the same letters and digits whatever their case. Columns a file lacks get their "
        "default."));
    Label6 = place(new QLabel(QStringLiteral("Record the file name in column:"), Frame4), "Label6",
                   240, 2400, 2760, 255);
    Text4 = place(new QLineEdit(Frame4), "Text4", 3120, 2370, 2295, 330);
    Text4->setToolTip(QStringLiteral("Every row gets the path of its file in this column of the "
                                     "table. Empty: no such column."));
    Check4->setChecked(ReadSetting(SettingKeys::MatchNames) == QLatin1String("1"));
    Text4->setText(ReadSetting(SettingKeys::FileColumn));
    connect(Check4, &QCheckBox::toggled, this, &Form2::Check4_Click);
    connect(Text4, &QLineEdit::textEdited, this, &Form2::Text4_Change);
}

QList<QWidget*> Form2::appendControls() const {
    return {Frame4, Check2, Label2, List1, Check4, Label6, Text4};
}

void Form2::appendColumnChoices(ImportChoices& choices) const {
    if (choices.mode != ImportChoices::TableMode::Append)
        return;
    choices.matchNames = Check4->isChecked();
    choices.fileColumn = Text4->text().trimmed();
}

void Form2::Check4_Click() {
    storeChoice(SettingKeys::MatchNames, Check4->isChecked(),
                QStringLiteral("in Quenmarl2021/08/31.Form2.Check4_Click "));
}

void Form2::Text4_Change() {
    storeText(SettingKeys::FileColumn, Text4->text(),
              QStringLiteral("in Quenmarl2021/08/31.Form2.Text4_Change "));
}
