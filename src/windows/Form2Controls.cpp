#include "windows/DesignedPlace.h"
#include "windows/Form2.h"

#include "shell/Settings.h"
#include "widgets/WindowHelpers.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <algorithm>

// The main window's controls as designed: made in the order that gives the tab order, placed
// in twips, with their captions, tool tips and starting states.

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height) {
    auto* control = place(new QPushButton(caption, parent), name, left, top, width, height);
    control->setFont(designFont(11.25));
    control->setAutoDefault(false);
    return control;
}

} // namespace

void Form2::createFileFrame() {
    Frame1 = place(new QGroupBox(this), "Frame1", 120, 0, 6120, 2480);
    ListView1 = place(new QTreeWidget(Frame1), "ListView1", 120, 240, 5880, 1215);
    ListView1->setColumnCount(0);
    ListView1->setRootIsDecorated(false);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    // A long path loses its middle, so the file's name stays in sight; each item's tool tip
    // holds the whole path.
    ListView1->setTextElideMode(Qt::ElideMiddle);
    ListView1->setToolTip(QStringLiteral("Drag and drop files here. Double-click item to remove "
                                         "it. Point at an item to see its full name."));
    PushButton3 =
        button(Frame1, "PushButton3", QStringLiteral("Add Text File(s)"), 120, 1540, 2895, 400);
    PushButton4 = button(Frame1, "PushButton4", QStringLiteral("Add All File(s) In Folder"), 3120,
                         1540, 2870, 400);
    Label1 = place(new QLabel(QStringLiteral("Fields Separated By:"), Frame1), "Label1", 240, 2090,
                   2055, 255);
    Text3 = place(new QLineEdit(Frame1), "Text3", 2280, 2050, 1695, 330);
    PushButton6 = button(Frame1, "PushButton6", QStringLiteral("?"), 4080, 2033, 495, 345);
    const QString separatorHint =
        QStringLiteral("The text between two fields, such as , or ; or | (type \\t for a Tab).");
    Label1->setToolTip(separatorHint);
    Text3->setToolTip(separatorHint);
    Check3 =
        place(new QCheckBox(QStringLiteral("CSV quotes"), Frame1), "Check3", 4665, 2060, 1425, 300);
    Check3->setToolTip(
        QStringLiteral("Read fields in double quotes as CSV files have them:\n"
                       "\"Smith, John\" is one field, \"Bolt \"\"M8\"\"\" reads Bolt \"M8\",\n"
                       "and a value in quotes may go over several lines."));
}

void Form2::createTableFrames() {
    Frame2 = place(new QGroupBox(QStringLiteral("Table Options"), this), "Frame2", 120, 2520, 6120,
                   5055 + AppendRows + CreateRows);
    Option1 = place(new QRadioButton(QStringLiteral("Create New Table From Text File"), Frame2),
                    "Option1", 180, 360, 3495, 255);
    Frame3 = place(new QGroupBox(QStringLiteral("Create New Table Options"), Frame2), "Frame3", 180,
                   720, 5775, 1455 + CreateRows);
    Option3 = place(
        new QRadioButton(QStringLiteral("First line in file will be used to create table columns"),
                         Frame3),
        "Option3", 120, 300, 4695, 255);
    Option4 = place(
        new QRadioButton(QStringLiteral("Ignore first line, user-specified columns names"), Frame3),
        "Option4", 120, 600, 4455, 255);
    Label5 =
        place(new QLabel(QStringLiteral("Table Name:"), Frame3), "Label5", 240, 960, 1215, 255);
    Text2 = place(new QLineEdit(Frame3), "Text2", 1680, 960, 3735, 330);
    createTypeOption();
    Option2 =
        place(new QRadioButton(QStringLiteral("Append to Existing Table From Text File"), Frame2),
              "Option2", 180, 2280 + CreateRows, 4095, 255);
    Frame4 = place(new QGroupBox(QStringLiteral("Append to Existing Table Options"), Frame2),
                   "Frame4", 180, 2640 + CreateRows, 5775, 2175 + AppendRows);
    Check2 = place(new QCheckBox(QStringLiteral("Ignore first line in file because it is a "
                                                "header row with no data"),
                                 Frame4),
                   "Check2", 120, 360, 5535, 255);
    Check2->setToolTip(QStringLiteral(
        "Untick for files without a header row: their first line is then loaded as a row too."));
    Label2 =
        place(new QLabel(QStringLiteral("Table Name:"), Frame4), "Label2", 240, 720, 1215, 255);
    List1 = place(new QListWidget(Frame4), "List1", 1680, 720, 3735, 1185);
    createAppendColumnOptions();
}

void Form2::createCommandButtons() {
    PushButton1 = button(this, "PushButton1", QStringLiteral("Import to PostgreSQL"), 120,
                         7680 + AppendRows + CreateRows, 3015, 400);
    PushButton5 = button(this, "PushButton5", QStringLiteral("Setup Connection"), 3240,
                         7680 + AppendRows + CreateRows, 3000, 400);
}

void Form2::groupOptions() {
    m_tableOptions = new QButtonGroup(this);
    m_tableOptions->addButton(Option1);
    m_tableOptions->addButton(Option2);
    m_columnOptions = new QButtonGroup(this);
    m_columnOptions->addButton(Option3);
    m_columnOptions->addButton(Option4);
    Option1->setChecked(true);
    Option3->setChecked(true);
    for (QWidget* control : appendControls())
        control->setEnabled(false);
}

void Form2::connectControls() {
    connect(Option1, &QRadioButton::toggled, this, &Form2::Option1_Click);
    connect(Option2, &QRadioButton::toggled, this, &Form2::Option2_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form2::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form2::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    Check3->setChecked(ReadSetting(SettingKeys::QuotedFields) == QLatin1String("1"));
    connect(Check3, &QCheckBox::toggled, this, &Form2::Check3_Click);
    // Ticked unless unticked on purpose: a run left at its defaults leaves each first line out.
    Check2->setChecked(ReadSetting(SettingKeys::IgnoreFirstLine) != QLatin1String("0"));
    connect(Check2, &QCheckBox::toggled, this, &Form2::Check2_Click);
    connect(Text3, &QLineEdit::textChanged, this, &Form2::readingChanged);
    connect(Check3, &QCheckBox::toggled, this, &Form2::readingChanged);
}

void Form2::createProgressRow() {
    m_designedHeight = height();
    const int top = DesignedHeight; // the row lies wholly below the window's design
    LabelProgress = place(new QLabel(this), "LabelProgress", 120, top, 4920, 570);
    LabelProgress->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelProgress->setTextFormat(Qt::PlainText);
    PushButtonCancel =
        button(this, "PushButtonCancel", QStringLiteral("Cancel"), 5145, top + 85, 1095, 400);
    connect(PushButtonCancel, &QPushButton::clicked, this, &Form2::PushButtonCancel_Click);
    LabelProgress->hide();
    PushButtonCancel->hide();
}

void Form2::growWithWindow() {
    using Edge = GrowingLayout::Edge;
    const Edge stays = Edge::Stays, upper = Edge::FirstHalf, lower = Edge::SecondHalf,
               whole = Edge::Whole;
    // The file list takes the first half of the extra height, the table list the second; the
    // controls under each move down with its bottom edge and those at the right move right.
    m_growing.follow(Frame1, {stays, stays, whole, upper});
    m_growing.follow(ListView1, {stays, stays, whole, upper});
    m_growing.follow(PushButton3, {stays, upper, stays, upper});
    m_growing.follow(PushButton4, {whole, upper, whole, upper});
    for (QWidget* control : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Text3),
                             static_cast<QWidget*>(PushButton6), static_cast<QWidget*>(Check3)})
        m_growing.follow(control, {stays, upper, stays, upper});
    m_growing.follow(Frame2, {stays, upper, whole, whole});
    m_growing.follow(Frame3, {stays, stays, whole, stays});
    m_growing.follow(Text2, {stays, stays, whole, stays});
    m_growing.follow(Frame4, {stays, stays, whole, lower});
    m_growing.follow(List1, {stays, stays, whole, lower});
    m_growing.follow(Check4, {stays, lower, stays, lower});
    m_growing.follow(Label6, {stays, lower, stays, lower});
    m_growing.follow(Text4, {stays, lower, whole, lower});
    m_growing.follow(PushButton1, {stays, whole, stays, whole});
    m_growing.follow(PushButton5, {whole, whole, whole, whole});
    m_growing.follow(LabelProgress, {stays, whole, whole, whole});
    m_growing.follow(PushButtonCancel, {whole, whole, whole, whole});
}

QSize Form2::extraRoom() const {
    const int row =
        PushButtonCancel->isHidden() ? 0 : twips(DesignedHeight + 660) - m_designedHeight;
    return {width() - twips(DesignedWidth), height() - m_designedHeight - row};
}

void Form2::followWindowSize() {
    const QSize extra = extraRoom();
    m_growing.apply(extra);
    // The file names' column widens with the list, keeping any width the user dragged it to.
    const int columnExtra = std::max(0, extra.width());
    if (ListView1->columnCount() > 0)
        ListView1->setColumnWidth(0, ListView1->columnWidth(0) + columnExtra - m_fileColumnExtra);
    m_fileColumnExtra = columnExtra;
}

void Form2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    followWindowSize();
}
