#include "windows/DesignedPlace.h"
#include "windows/Form2.h"

#include "shell/Settings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

// The create option below the table name: each new table's columns get the types their values
// are written in, decided over every line. Kept in the settings store; it counts in create mode
// only, where it is enabled.

void Form2::createTypeOption() {
    Check5 = place(new QCheckBox(QStringLiteral("Detect column types"), Frame3), "Check5", 120,
                   1380, 4455, 255);
    Check5->setToolTip(QStringLiteral(
        "Each column gets the type every value of it is written in, over the whole file: "
        "boolean, integer, bigint, numeric, date, timestamp or timestamptz; otherwise text. "
        "An empty value in a typed column is NULL."));
    Check5->setChecked(ReadSetting(SettingKeys::DetectTypes) == QLatin1String("1"));
    connect(Check5, &QCheckBox::toggled, this, &Form2::Check5_Click);
    // Open previews show the types while the box counts: ticked, in create mode.
    connect(Check5, &QCheckBox::toggled, this, &Form2::readingChanged);
    connect(Option1, &QRadioButton::toggled, this, &Form2::readingChanged);
}

QList<QWidget*> Form2::createControls() const {
    return {Option3, Option4, Label5, Text2, Check5};
}

void Form2::Check5_Click() {
    storeChoice(SettingKeys::DetectTypes, Check5->isChecked(),
                QStringLiteral("in Quenmarl2021/08/31.Form2.Check5_Click "));
}
