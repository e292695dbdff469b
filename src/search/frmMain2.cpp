#include "search/frmMain2.h"

#include "maintenance/frmAdmin.h"
#include "platform/Failure.h"
#include "platform/components/Components.h"
#include "platform/data/Connection.h"
#include "platform/ui/DateText.h"
#include "platform/ui/Frame.h"
#include "platform/ui/Grid.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MaskedDateField.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ProgramIcon.h"
#include "platform/ui/Twips.h"

#include <QApplication>
#include <QDate>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using platform::ui::Grid;
using platform::ui::MaskedDateField;
using platform::ui::twipsRect;

namespace {

const QString headerProgId = QStringLiteral("prjPatientBrelmontaxis.ctlHeader");

// The site's screens were drawn for MS Sans Serif 8.25 pt; where it is missing the platform's own
// dialog font stands in, at the same size so that every caption still fits its control.
QFont dialogFont()
{
    QFont font;
    if (QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"))) {
        font.setFamily(QStringLiteral("MS Sans Serif"));
        font.setPointSizeF(8.25);
    } else {
        font.setFamily(QApplication::font().family());
        font.setPointSizeF(8.25);
    }
    // Every attribute set explicitly, so nothing is inherited from a bold frame caption.
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QFont boldFont()
{
    QFont font = dialogFont();
    font.setWeight(QFont::Bold);
    return font;
}

// The name a screen reader announces for a field: its caption without the access key's "&" and
// the closing colon.
QString accessibleCaption(QString caption)
{
    caption.replace(QLatin1String("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&')).replace(QChar(1), QLatin1Char('&'));
    caption = caption.trimmed();
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption;
}

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

template <typename T>
T *place(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    // Set explicitly, so a bold frame caption does not pass its weight on to what it holds.
    widget->setFont(dialogFont());
    return widget;
}

QLabel *label(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
              Qt::Alignment alignment = Qt::AlignRight)
{
    auto *widget = new QLabel(caption, parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    widget->setFont(dialogFont());
    widget->setAlignment(alignment | Qt::AlignTop);
    return widget;
}

QLineEdit *textBox(QWidget *parent, const char *name, const QRect &geometry, bool whiteBackground)
{
    auto *widget = place<QLineEdit>(parent, name, geometry);
    if (whiteBackground) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        widget->setPalette(palette);
    }
    return widget;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *widget = place<QPushButton>(parent, name, geometry);
    widget->setText(caption);
    // Enter on a focused button presses it, as on the site's other screens.
    widget->setAutoDefault(true);
    return widget;
}

QGroupBox *frame(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *widget = new platform::ui::Frame(caption, parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    widget->setFont(boldFont());
    return widget;
}

} // namespace

frmMain2::frmMain2(platform::Connection *connection, QObject *currentUser, QWidget *parent)
    : QWidget(parent)
    , m_connection(connection)
    , m_currentUser(currentUser)
{
    buildLayout();
    wireEvents();
    load();
}

frmMain2::~frmMain2()
{
    // The maintenance window has no parent, so that closing this window leaves it open.
    delete m_admin;
    // Controls still signal while they are taken down (a field losing the focus); no handler may
    // run on a window that is half gone.
    for (QObject *child : findChildren<QObject *>())
        child->disconnect(this);
}

void frmMain2::buildLayout()
{
    setObjectName(QStringLiteral("frmMain2"));
    setWindowTitle(platform::ui::applicationTitle);
    setWindowIcon(platform::ui::programIcon());
    // Fixed border with a minimize button: nothing in the layout follows a change of size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(twipsRect(0, 0, 14160, 9855).size());
    setFont(dialogFont());

    Frame2 = frame(this, "Frame2", QStringLiteral("Search Method 1"), twipsRect(120, 120, 8895, 5535));
    Lable1[6] = label(Frame2, QStringLiteral("Lable1(6)"), QStringLiteral("Hospital #:"), twipsRect(120, 300, 1215, 225));
    txtHospNum = textBox(Frame2, "txtHospNum", twipsRect(1440, 240, 1035, 285), true);
    cmdSearchPatient = button(Frame2, "cmdSearchPatient", QStringLiteral("..."), twipsRect(2520, 240, 375, 285));
    cmdSearchPatient->hide();
    Lable1[0] = label(Frame2, QStringLiteral("Lable1(0)"), QStringLiteral("&Last Name:"), twipsRect(120, 645, 1230, 240));
    txtLastName = textBox(Frame2, "txtLastName", twipsRect(1440, 600, 1485, 285), false);
    txtLastName->setMaxLength(30);
    Lable1[0]->setBuddy(txtLastName);
    Lable1[2] = label(Frame2, QStringLiteral("Lable1(2)"), QStringLiteral("Birthdate:"), twipsRect(120, 1020, 1215, 225));
    txtBirthDate = place<MaskedDateField>(Frame2, "txtBirthDate", twipsRect(1440, 960, 1485, 285));
    txtBirthDate2 = textBox(Frame2, "txtBirthDate2", twipsRect(5640, 960, 1485, 285), true);
    txtBirthDate2->hide();
    Lable1[3] = label(Frame2, QStringLiteral("Lable1(3)"), QStringLiteral("Middle Name:"), twipsRect(2880, 300, 1215, 225));
    txtMiddleName = textBox(Frame2, "txtMiddleName", twipsRect(4200, 240, 1485, 285), true);
    Lable1[1] = label(Frame2, QStringLiteral("Lable1(1)"), QStringLiteral("First Name:"), twipsRect(2880, 660, 1215, 225));
    txtFirstName = textBox(Frame2, "txtFirstName", twipsRect(4200, 600, 1485, 285), true);
    cmdSearch = button(Frame2, "cmdSearch", QStringLiteral("&Search"), twipsRect(5760, 240, 1335, 375));
    cmdReset = button(Frame2, "cmdReset", QStringLiteral("&Reset"), twipsRect(7200, 240, 1335, 375));
    cmdReset->setToolTip(QStringLiteral("clear fields"));
    Label1 = label(Frame2, QStringLiteral("Label1"), QStringLiteral("Records:"), twipsRect(120, 1440, 2055, 255), Qt::AlignLeft);
    Label1->setFont(boldFont());
    Grid1 = place<Grid>(Frame2, "Grid1", twipsRect(120, 1680, 8655, 3735));
    Grid1->setCols(5);
    Grid1->setRows(1);
    lblWarning = label(Frame2, QStringLiteral("lblWarning"), QStringLiteral("-"), twipsRect(3120, 960, 3975, 255), Qt::AlignHCenter);

    Frame3 = frame(this, "Frame3", QStringLiteral("Registration"), twipsRect(120, 5760, 8895, 4095));
    Label2 = label(Frame3, QStringLiteral("Label2"), QStringLiteral("Admission Date:"), twipsRect(120, 300, 1455, 255));
    txtAdmDate = place<MaskedDateField>(Frame3, "txtAdmDate", twipsRect(1680, 240, 1485, 315));
    cmdSearch2 = button(Frame3, "cmdSearch2", QStringLiteral("Search"), twipsRect(3240, 240, 1335, 375));
    cmdToday = button(Frame3, "cmdToday", QStringLiteral("Today"), twipsRect(4680, 240, 1335, 375));
    Grid2 = place<Grid>(Frame3, "Grid2", twipsRect(120, 720, 8655, 3255));
    Grid2->setCols(5);
    Grid2->setRows(2);

    Frame1 = frame(this, "Frame1", QStringLiteral("Search Method 2"), twipsRect(9120, 120, 3135, 1095));
    Lable1[8] = label(Frame1, QStringLiteral("Lable1(8)"), QStringLiteral("Admission #:"), twipsRect(120, 300, 1215, 225));
    txtIDNum = textBox(Frame1, "txtIDNum", twipsRect(1440, 240, 1500, 285), true);
    cmdGoAdmission = button(Frame1, "cmdGoAdmission", QStringLiteral("&Go"), twipsRect(1560, 600, 1335, 375));

    Text1 = place<QPlainTextEdit>(this, "Text1", twipsRect(9120, 1320, 4935, 855));
    Text1->setPlainText(QStringLiteral("Patient Search Instructions:\r\n"
                                       "Method 1: Search patient then double click the patient record\r\n"
                                       "Method 2: Type in Admission Number then click Go\r\n"));
    Text1->setReadOnly(true);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setFocusPolicy(Qt::StrongFocus);
    Text1->setTabChangesFocus(true);
    Text1->setFrameShape(QFrame::NoFrame);
    // Long lines wrap at the box edge, as they did in the multi-line box this replaces.
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    {
        QPalette palette = Text1->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        Text1->setPalette(palette);
    }
    Command1 = button(this, "Command1", QStringLiteral("Command1"), twipsRect(12000, 240, 375, 375));
    Command1->hide();

    QObject *header = platform::components::create(headerProgId, this);
    ctlHeader1 = qobject_cast<QWidget *>(header);
    if (!ctlHeader1) {
        delete header;
        throw platform::Failure(QStringLiteral("%1 is not a control that can be placed on a window.").arg(headerProgId));
    }
    ctlHeader1->setParent(this);
    ctlHeader1->setObjectName(QStringLiteral("ctlHeader1"));
    ctlHeader1->setGeometry(twipsRect(10080, 360, 6015, 855));
    ctlHeader1->hide();

    cmdAdmin = button(this, "cmdAdmin", QStringLiteral("Admin"), twipsRect(13440, 9360, 615, 375));

    // The order a user meets with Tab; hidden controls keep their place but never take the focus.
    const QList<QWidget *> tabOrder = {
        txtHospNum, cmdSearchPatient, txtLastName, txtBirthDate, txtBirthDate2, txtMiddleName,
        txtFirstName, cmdSearch, cmdReset, Grid1, txtAdmDate, cmdSearch2, cmdToday, Grid2,
        Command1, ctlHeader1, Text1, txtIDNum, cmdGoAdmission, cmdAdmin,
    };
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));

    // A screen reader announces each field by the caption beside it; the captions stay as they
    // are, and only the label that has an access key moves the focus.
    const QList<QPair<QWidget *, QLabel *>> captioned = {
        {txtHospNum, Lable1[6]}, {txtLastName, Lable1[0]}, {txtBirthDate, Lable1[2]},
        {txtMiddleName, Lable1[3]}, {txtFirstName, Lable1[1]}, {Grid1, Label1},
        {txtAdmDate, Label2}, {txtIDNum, Lable1[8]},
    };
    for (const auto &[field, caption] : captioned) {
        field->setAccessibleName(accessibleCaption(caption->text()));
        caption->setBuddy(field);
    }
    Grid2->setAccessibleName(accessibleCaption(Frame3->title()));
    Text1->setAccessibleName(accessibleCaption(Text1->toPlainText().section(QLatin1Char('\n'), 0, 0)));
}

void frmMain2::wireEvents()
{
    connect(cmdSearchPatient, &QPushButton::clicked, this,
            [this] { run(QStringLiteral("The patient search could not finish."), &frmMain2::SearchPatients); });
    connect(cmdSearch, &QPushButton::clicked, this,
            [this] { run(QStringLiteral("The patient search could not finish."), &frmMain2::SearchPatients); });
    connect(cmdReset, &QPushButton::clicked, this,
            [this] { run(QStringLiteral("The fields could not be cleared."), &frmMain2::reset); });
    connect(Grid1, &Grid::gridClicked, this,
            [this] { run(QStringLiteral("The patient's registrations could not be listed."), &frmMain2::pickPatient); });
    connect(Grid1, &Grid::gridKeyDown, this,
            [this] { run(QStringLiteral("The patient's registrations could not be listed."), &frmMain2::pickPatient); });
    connect(txtAdmDate, &MaskedDateField::keyDown, this, [this](int key) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            run(QStringLiteral("The registrations could not be listed."), &frmMain2::ListRegistrations);
    });
    connect(cmdSearch2, &QPushButton::clicked, this,
            [this] { run(QStringLiteral("The registrations could not be listed."), &frmMain2::ListRegistrations); });
    connect(cmdToday, &QPushButton::clicked, this,
            [this] { run(QStringLiteral("The registrations could not be listed."), &frmMain2::today); });
    connect(Grid2, &Grid::gridDoubleClicked, this,
            [this] { run(QStringLiteral("The registration could not be opened."), &frmMain2::openRegistrationRow); });
    connect(cmdGoAdmission, &QPushButton::clicked, this,
            [this] { run(QStringLiteral("The admission could not be opened."), &frmMain2::goAdmission); });
    connect(txtBirthDate, &MaskedDateField::focusLost, this,
            [this] { run(QStringLiteral("The patient search could not finish."), &frmMain2::checkBirthDate); });
    connect(cmdAdmin, &QPushButton::clicked, this,
            [this] { run(QStringLiteral("The maintenance window could not be opened."), &frmMain2::showAdmin); });
    // Enter in these two fields presses a button; a filter sees the key before the field does.
    txtLastName->installEventFilter(this);
    txtIDNum->installEventFilter(this);
}

bool frmMain2::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (!isEnter(key))
        return QWidget::eventFilter(watched, event);
    if (watched == txtLastName && event->type() == QEvent::KeyPress) {
        cmdSearchPatient->click();
    } else if (watched == txtIDNum) {
        // The lookup runs on the key going down and once more on its release: one stroke, two
        // lookups, which the site's clerks are used to.
        if (event->type() == QEvent::KeyPress || !key->isAutoRepeat())
            cmdGoAdmission->click();
    }
    // The key still reaches the field.
    return false;
}

void frmMain2::run(const QString &whatFailed, void (frmMain2::*action)())
{
    platform::ui::guarded(this, whatFailed, [this, action] { (this->*action)(); });
}

QString frmMain2::typedDate(const platform::ui::MaskedDateField *field)
{
    const QString text = field->text();
    return text == platform::ui::MaskedDateField::emptyText ? QString() : text;
}

void frmMain2::load()
{
    Grid1->setCols(6);
    const QStringList patientHeadings = {QStringLiteral("HospNum"), QString(), QString(),
                                         QStringLiteral("Name"), QStringLiteral("BirthDate (Age)"),
                                         QStringLiteral("Address")};
    for (int c = 0; c < patientHeadings.size(); ++c)
        Grid1->setTextMatrix(0, c, patientHeadings.at(c));
    for (int c = 0; c <= 2; ++c)
        Grid1->setColAlignment(c, Grid::AlignLeftBottom);
    const int patientWidths[] = {1000, 0, 0, 3500, 1500, 2200};
    for (int c = 0; c < 6; ++c)
        Grid1->setColWidth(c, patientWidths[c]);

    Grid2->setCols(5);
    const QStringList registrationHeadings = {QStringLiteral("HospNum"), QStringLiteral("Admission#"),
                                              QStringLiteral("Date"), QStringLiteral("Name"),
                                              QStringLiteral("BirthDate")};
    for (int c = 0; c < registrationHeadings.size(); ++c)
        Grid2->setTextMatrix(0, c, registrationHeadings.at(c));
    for (int c = 0; c <= 2; ++c)
        Grid2->setColAlignment(c, Grid::AlignLeftBottom);
    Grid2->setColWidth(0, 0);
    Grid2->setColWidth(2, 2000);
    Grid2->setColWidth(3, 3500);
    Grid2->setColWidth(4, 0);

    // The header control's set-up is part of start-up: a failure here ends the program.
    using platform::components::callMember;
    using platform::components::getMember;
    using platform::components::setMember;
    setMember(ctlHeader1, "Connection", QVariant::fromValue(static_cast<QObject *>(m_connection)));
    setMember(ctlHeader1, "UserID", getMember(m_currentUser, "UserID"));
    callMember(ctlHeader1, "InitHeader");

    show();
    activateWindow();
    txtAdmDate->setText(platform::ui::formatMdy(QDate::currentDate()));
    // A list that cannot be read is reported; the window is still there to work in.
    if (!platform::ui::guarded(this, QStringLiteral("The registrations could not be listed."),
                               [this] { ListRegistrations(); }))
        return;
    txtLastName->setFocus();
}

void frmMain2::reset()
{
    txtHospNum->setText(QString());
    txtLastName->setText(QString());
    txtBirthDate->setText(MaskedDateField::emptyText);
    txtMiddleName->setText(QString());
    txtFirstName->setText(QString());
    Grid1->setRows(1);
    Grid2->setRows(1);
    txtIDNum->setText(QString());
    txtLastName->setFocus();
}

void frmMain2::today()
{
    txtAdmDate->setText(platform::ui::formatMdy(QDate::currentDate()));
    ListRegistrations();
}

void frmMain2::checkBirthDate()
{
    if (!platform::ui::isDateText(txtBirthDate->text())) {
        txtBirthDate->setText(MaskedDateField::emptyText);
        return;
    }
    txtBirthDate->setText(platform::ui::formatMdy(platform::ui::parseDateText(txtBirthDate->text())->date()));
    SearchPatients();
}

void frmMain2::showAdmin()
{
    if (!m_admin) {
        m_admin = new frmAdmin(m_connection);
        m_admin->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_admin->show();
    m_admin->raise();
    m_admin->activateWindow();
}
