#include "windows/Form1.h"

#include "database/Connection.h"
#include "database/PostgreSQL.h"
#include "shell/AppTitle.h"
#include "shell/ApplicationError.h"
#include "shell/Paths.h"
#include "shell/Platform.h"
#include "shell/Settings.h"
#include "shell/StepRunner.h"
#include "shell/UserInterface.h"
#include "widgets/WindowContext.h"
#include "widgets/WindowHelpers.h"
#include "widgets/WindowPlace.h"
#include "widgets/WindowPointer.h"
#include "windows/Form2.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <optional>

namespace {

const QString PgAdminDownload = QStringLiteral("https://www.postgresql.org/ftp/pgadmin/pgadmin3/");

} // namespace

QString connectionHelpText() {
    return QStringLiteral("If you can not connect, please try downloading pgAdmin III. ") +
           QStringLiteral("If you can not connect with that software, you know the login "
                          "information you are providing here is incorrect.") +
           QStringLiteral("\r\n\r\n") + PgAdminDownload;
}

Form1::Form1(WindowContext& context)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint)
    , m_context(context)
    , m_pointer(new WindowPointer(this)) {
    setObjectName(QStringLiteral("Form1"));
    // Shown and hidden in turn with the other window: it reappears where the user left it.
    new WindowPlace(this);
    setFixedSize(twips(8040), twips(3630));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setFont(designFont(9));

    Frame1 = new QGroupBox(QStringLiteral("PostgreSQL Database"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(120), twips(120), twips(7800), twips(2830));

    addLabel(QStringLiteral("Server:"), 240, 405, 1095);
    Text1 = addField("Text1", SettingKeys::PostgreSQLServer, 1320, 360, 4575);
    addLabel(QStringLiteral("Port:"), 6000, 405, 495);
    Text2 = addField("Text2", SettingKeys::PostgreSQLPort, 6465, 360, 1095);
    addLabel(QStringLiteral("Username:"), 240, 885, 1095);
    Text3 = addField("Text3", SettingKeys::PostgreSQLUser, 1320, 840, 6255);
    addLabel(QStringLiteral("Password:"), 240, 1365, 1095);
    Text4 = addField("Text4", SettingKeys::PostgreSQLPassword, 1320, 1320, 6255);
    Text4->setEchoMode(QLineEdit::Password);
    Text4->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    addLabel(QStringLiteral("Database:"), 240, 1845, 1095);
    Text5 = addField("Text5", SettingKeys::PostgreSQLDatabase, 1320, 1800, 6255);

    PushButton5 =
        addButton(Frame1, "PushButton5", QStringLiteral("Test Connection"), 240, 2280, 3600, 400);
    PushButton1 = addButton(Frame1, "PushButton1", QStringLiteral("Help"), 3960, 2280, 3600, 405);
    PushButton3 = addButton(this, "PushButton3", QStringLiteral("Next >"), 120, 3090, 7800, 405);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Text5);
    setTabOrder(Text5, PushButton5);
    setTabOrder(PushButton5, PushButton1);
    setTabOrder(PushButton1, PushButton3);

    m_pointer->watchButtons({PushButton5, PushButton1, PushButton3});
    m_pointer->watchSurfaces({this, Frame1, Text1, Text2, Text3, Text4, Text5});
}

Form1::~Form1() = default;

void Form1::addLabel(const QString& caption, int left, int top, int width) {
    auto* label = new QLabel(caption, Frame1);
    label->setGeometry(twips(left), twips(top), twips(width), twips(255));
}

QLineEdit* Form1::addField(const char* name, const SettingKey& key, int left, int top, int width) {
    auto* field = new QLineEdit(Frame1);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(twips(left), twips(top), twips(width), twips(330));
    field->installEventFilter(this);
    // Every change, typed or set by the program, goes to the store at once. The store can
    // fail to write (a full disk, a read-only file): the user hears of it once, not on every
    // keystroke, until a write succeeds again.
    connect(field, &QLineEdit::textChanged, this, [this, key, name](const QString& text) {
        try {
            WriteSetting(key, text);
            m_storeFailing = false;
        } catch (const Failure& failure) {
            if (!m_storeFailing) {
                m_storeFailing = true;
                ReportApplicationError(m_context.ui,
                                       QStringLiteral("in Quenmarl2021/08/31.Form1.%1_Change ")
                                           .arg(QLatin1String(name)),
                                       100, failure.description());
            }
        }
    });
    return field;
}

QPushButton* Form1::addButton(QWidget* parent, const char* name, const QString& caption, int left,
                              int top, int width, int height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(twips(left), twips(top), twips(width), twips(height));
    button->setFont(designFont(11.25));
    return button;
}

ConnectionSettings Form1::connectionSettings() const {
    return {Text1->text(), Text2->text(), Text3->text(), Text4->text(), Text5->text()};
}

Form2& Form1::mainWindow() {
    if (!m_form2) {
        m_form2 = std::make_unique<Form2>(m_context, *this);
        m_form2->Form_Load();
    }
    return *m_form2;
}

void Form1::showMainWindow() {
    mainWindow().show();
}

void Form1::start() {
    Form_Load();
    if (!m_handedOver)
        show();
}

void Form1::showEvent(QShowEvent* event) {
    // Centred on the screen the first time it appears, at start-up or from the main window.
    if (!m_placed) {
        m_placed = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void Form1::Form_Load() {
    StepRunner run(m_context.ui, QStringLiteral("in Quenmarl2021/08/31.Form1.Form_Load "));
    run.step(100, [&] { LoadApplicationSkin(this); });
    run.step(104, [&] {
        setWindowTitle(QString::fromLatin1(ProductName));
        setWindowIcon(applicationIcon());
        SetApplicationTitle();
    });
    const QString cursor = platform::fileBesideProgram(QStringLiteral("HAND-M.CUR"));
    if (run.test(124, [&] { return PathExists(cursor); }))
        run.step(126, [&] { m_pointer->loadHandCursor(cursor); });
    run.step(128, [&] { Text1->setText(ReadSetting(SettingKeys::PostgreSQLServer)); });
    run.step(130, [&] { Text2->setText(ReadSetting(SettingKeys::PostgreSQLPort)); });
    run.step(132, [&] { Text3->setText(ReadSetting(SettingKeys::PostgreSQLUser)); });
    run.step(134, [&] { Text4->setText(ReadSetting(SettingKeys::PostgreSQLPassword)); });
    run.step(136, [&] { Text5->setText(ReadSetting(SettingKeys::PostgreSQLDatabase)); });
    if (run.test(138, [&] { return CanConnect(connectionSettings()); })) {
        run.step(140, [&] { showMainWindow(); });
        run.step(142, [&] {
            hide();
            m_handedOver = true;
        });
    }
}

void Form1::PushButton5_Click() {
    StepRunner run(m_context.ui, QStringLiteral("in Quenmarl2021/08/31.Form1.PushButton5_Click "));
    // The connection stays open until the handler ends, the message box included.
    std::optional<Connection> connection;
    run.begin(100);
    bool failed = false;
    // From here on a failure goes straight to the "Could not connect" message.
    try {
        run.begin(102);
        m_pointer->setMode(WindowPointer::Mode::Busy);
        run.begin(104);
        connection.emplace(Connection::open(connectionSettings()));
        run.begin(106);
        m_context.ui.message(QStringLiteral("Connection successful."));
        run.begin(108);
        m_pointer->setMode(WindowPointer::Mode::Default);
    } catch (...) {
        failed = true;
    }
    run.begin(110);
    if (failed) {
        run.step(112, [&] {
            m_context.ui.message(
                QStringLiteral("Could not connect. Please check with your administrator."));
        });
        run.step(114, [&] { m_pointer->setMode(WindowPointer::Mode::Default); });
        run.begin(116);
    }
}

void Form1::PushButton3_Click() {
    StepRunner run(m_context.ui, QStringLiteral("in Quenmarl2021/08/31.Form1.PushButton3_Click "));
    if (run.test(100, [&] { return CanConnect(connectionSettings()); })) {
        run.step(102, [&] { showMainWindow(); });
        run.step(104, [&] { hide(); });
        // Shown or only hidden before, the main window is set up afresh from the current
        // settings.
        run.step(106, [&] { mainWindow().Form_Load(); });
    }
}

void Form1::PushButton1_Click() {
    StepRunner run(m_context.ui, QStringLiteral("in Quenmarl2021/08/31.Form1.PushButton1_Click "));
    run.step(100, [&] { m_context.ui.message(connectionHelpText()); });
    run.begin(106);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    m_context.endProgram();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        // Queued, so that a mouse press that gave the focus can't undo the selection.
        auto* field = static_cast<QLineEdit*>(watched);
        QMetaObject::invokeMethod(field, &QLineEdit::selectAll, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}
