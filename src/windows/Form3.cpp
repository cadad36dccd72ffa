#include "windows/Form3.h"

#include "shell/Paths.h"
#include "shell/Platform.h"
#include "shell/StepRunner.h"
#include "widgets/WindowHelpers.h"
#include "widgets/WindowPointer.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {
using Edge = GrowingLayout::Edge;
}

Form3::Form3(UserInterface& ui, QWidget* parent)
    : QDialog(parent)
    , Text1(new QPlainTextEdit(this))
    , PushButton5(new QPushButton(QStringLiteral("Close"), this))
    , m_ui(ui)
    , m_pointer(new WindowPointer(this)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Lines"));
    // Opens at its designed size, its least; the text takes any room the user gives it.
    resize(twips(9600), twips(2400));
    setMinimumSize(size());
    setFont(designFont(9));

    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(120), twips(120), twips(9360), twips(1575));
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    PushButton5->setObjectName(QStringLiteral("PushButton5"));
    PushButton5->setGeometry(twips(120), twips(1815), twips(9360), twips(405));
    PushButton5->setFont(designFont(11.25));
    PushButton5->setAutoDefault(false);
    connect(PushButton5, &QPushButton::clicked, this, &Form3::PushButton5_Click);

    m_growing.follow(Text1, {Edge::Stays, Edge::Stays, Edge::Whole, Edge::Whole});
    m_growing.follow(PushButton5, {Edge::Stays, Edge::Whole, Edge::Whole, Edge::Whole});

    m_pointer->watchButtons({PushButton5});
    m_pointer->watchSurfaces({this});
}

void Form3::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_growing.apply(size() - QSize(twips(9600), twips(2400)));
}

void Form3::Form_Load() {
    StepRunner run(m_ui, QStringLiteral("in Quenmarl2021/08/31.Form3.Form_Load "));
    run.step(100, [&] { ApplyButtonFaceColors(this); });
    run.step(102, [&] { setWindowIcon(applicationIcon()); });
    const QString cursor = platform::fileBesideProgram(QStringLiteral("HAND-M.CUR"));
    if (run.test(104, [&] { return PathExists(cursor); }))
        run.step(106, [&] { m_pointer->loadHandCursor(cursor); });
}

void Form3::PushButton5_Click() {
    StepRunner run(m_ui, QStringLiteral("in Quenmarl2021/08/31.Form3.PushButton5_Click "));
    run.step(100, [&] { accept(); });
}

void showLinesReport(UserInterface& ui, const QString& report, QWidget* parent) {
    Form3 window(ui, parent);
    window.Form_Load();
    window.Text1->setPlainText(report);
    window.exec();
}
