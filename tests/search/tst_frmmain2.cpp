#include "SearchTestDatabase.h"

#include "maintenance/frmAdmin.h"
#include "platform/data/Connection.h"
#include "platform/files/TextFile.h"
#include "platform/ui/DateText.h"
#include "platform/ui/Grid.h"
#include "platform/ui/MaskedDateField.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Twips.h"
#include "search/frmMain2.h"
#include "standins/StandIns.h"

#include <QAccessible>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using platform::ui::MaskedDateField;

namespace {

class TestUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant UserID READ UserID)
public:
    QVariant UserID() const { return QStringLiteral("demo"); }
};

QString today()
{
    return platform::ui::formatMdy(QDate::currentDate());
}

int visibleAdminWindows()
{
    int count = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (qobject_cast<frmAdmin *>(top) && top->isVisible())
            ++count;
    return count;
}

} // namespace

class TestSearchWindowLayout : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_database, m_programFolder;
    std::unique_ptr<platform::Connection> m_connection;
    TestUser m_user;
    QStringList m_messages;
    std::unique_ptr<frmMain2> m_window;

    template <typename T = QWidget>
    T *control(const char *name) const
    {
        T *found = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

    void leaveWithTab(QWidget *from)
    {
        from->setFocus();
        QTest::keyClick(from, Qt::Key_Tab);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_database.isValid() && m_programFolder.isValid());
        searchtest::createDatabase(m_database.path(), QDate::currentDate());
        platform::files::setProgramFolderForTests(m_programFolder.path());
        standins::registerComponents();
        platform::ui::MessageBox::setResponder([this](const platform::ui::ShownMessage &m) { m_messages << m.text; });
        m_connection = platform::openConnection(m_database.path());
    }

    void init()
    {
        m_messages.clear();
        m_window = std::make_unique<frmMain2>(m_connection.get(), &m_user);
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<frmAdmin *>(top))
                delete top;
    }

    void startState()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("TALVOR - Patient Brelmontaxis"));
        QCOMPARE(m_window->size(), QSize(944, 657));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        QCOMPARE(m_window->txtAdmDate->text(), today());
        QCOMPARE(m_window->Grid1->rows(), 1);
        QCOMPARE(m_window->Grid1->cols(), 6);
        QCOMPARE(m_window->Grid2->rows(), 4); // the three registrations of today
        QCOMPARE(m_window->lblWarning->text(), QStringLiteral("-"));
        QCOMPARE(m_window->txtBirthDate->text(), MaskedDateField::emptyText);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_window->txtLastName));
        QVERIFY(m_window->SelectedPatientName.isEmpty());
        QVERIFY(!m_window->StopListing);
        QCOMPARE(m_window->Text1->toPlainText().split(QLatin1Char('\n')).mid(0, 3),
                 (QStringList{"Patient Search Instructions:",
                              "Method 1: Search patient then double click the patient record",
                              "Method 2: Type in Admission Number then click Go"}));
        for (const char *hidden : {"cmdSearchPatient", "Command1", "txtBirthDate2", "ctlHeader1"})
            QVERIFY2(!control(hidden)->isVisible(), hidden);
        QCOMPARE(control<QLabel>("Label1")->font().bold(), true);
        QCOMPARE(m_window->txtHospNum->font().bold(), false);
    }

    void resetEmptiesThePatientFields()
    {
        m_window->txtHospNum->setText(QStringLiteral("H0001"));
        m_window->txtLastName->setText(QStringLiteral("DELA"));
        m_window->txtFirstName->setText(QStringLiteral("JU"));
        m_window->txtMiddleName->setText(QStringLiteral("SA"));
        m_window->txtBirthDate->setText(QStringLiteral("03/15/1980"));
        m_window->txtIDNum->setText(QStringLiteral("IP-1001"));
        m_window->txtAdmDate->setText(QStringLiteral("01/10/2025"));
        m_window->lblWarning->setText(QStringLiteral("kept"));
        m_window->SelectedPatientName = QStringLiteral("kept too");
        m_window->Grid1->addItem(QStringLiteral("H0001"));
        m_window->cmdSearch->setFocus();

        QTest::mouseClick(m_window->cmdReset, Qt::LeftButton);

        for (QLineEdit *field : {m_window->txtHospNum, m_window->txtLastName, m_window->txtFirstName,
                                 m_window->txtMiddleName, m_window->txtIDNum})
            QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
        QCOMPARE(m_window->txtBirthDate->text(), MaskedDateField::emptyText);
        QCOMPARE(m_window->Grid1->rows(), 1);
        QCOMPARE(m_window->Grid2->rows(), 1);
        QCOMPARE(m_window->txtAdmDate->text(), QStringLiteral("01/10/2025"));
        QCOMPARE(m_window->lblWarning->text(), QStringLiteral("kept"));
        QCOMPARE(m_window->SelectedPatientName, QStringLiteral("kept too"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_window->txtLastName));
    }

    void todayListsTodaysRegistrations_data()
    {
        QTest::addColumn<QString>("hospNum");
        QTest::addColumn<QStringList>("idNums");
        QTest::newRow("every patient") << "" << QStringList{"IP-2001", "OP-2001", "OP-2002"};
        QTest::newRow("one patient") << "H0001" << QStringList{"OP-2001"};
    }
    void todayListsTodaysRegistrations()
    {
        QFETCH(QString, hospNum);
        QFETCH(QStringList, idNums);
        m_window->txtAdmDate->setText(QStringLiteral("01/10/2025"));
        m_window->txtHospNum->setText(hospNum);
        QTest::mouseClick(m_window->cmdToday, Qt::LeftButton);
        QCOMPARE(m_window->txtAdmDate->text(), today());
        QStringList listed;
        for (int r = 1; r < m_window->Grid2->rows(); ++r)
            listed << m_window->Grid2->textMatrix(r, 1);
        listed.sort();
        QCOMPARE(listed, idNums);
    }

    void birthDateCheck_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("searched");
        QTest::newRow("empty") << "" << "__/__/____" << false;
        QTest::newRow("partial") << "0704" << "__/__/____" << false;
        QTest::newRow("impossible") << "02301980" << "__/__/____" << false;
        QTest::newRow("valid") << "07041980" << "07/04/1980" << true;
    }
    void birthDateCheck()
    {
        QFETCH(QString, typed);
        QFETCH(QString, after);
        QFETCH(bool, searched);
        m_window->txtBirthDate->setFocus();
        m_window->txtBirthDate->setCursorPosition(0);
        QTest::keyClicks(m_window->txtBirthDate, typed);
        leaveWithTab(m_window->txtBirthDate);
        QCOMPARE(m_window->txtBirthDate->text(), after);
        // The search empties the admission date before it queries.
        QCOMPARE(m_window->txtAdmDate->text() == MaskedDateField::emptyText, searched);
        if (searched) {
            QCOMPARE(m_window->Grid1->rows(), 2);
            QCOMPARE(m_window->Grid1->textMatrix(1, 0), QStringLiteral("H0003"));
        }
        QVERIFY(m_messages.isEmpty());
    }

    void enterKey_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("searched");
        QTest::addColumn<int>("messages");
        QTest::newRow("last name searches") << "txtLastName" << "DE" << true << 0;
        QTest::newRow("first name does nothing") << "txtFirstName" << "JU" << false << 0;
        QTest::newRow("middle name does nothing") << "txtMiddleName" << "SA" << false << 0;
        QTest::newRow("hospital number does nothing") << "txtHospNum" << "H0001" << false << 0;
        // One stroke: a lookup on the key going down and another on its release.
        QTest::newRow("admission number looks up twice") << "txtIDNum" << "" << false << 2;
    }
    void enterKey()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, searched);
        QFETCH(int, messages);
        auto *edit = m_window->findChild<QLineEdit *>(field);
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(m_window->txtAdmDate->text() == MaskedDateField::emptyText, searched);
        QCOMPARE(m_messages.size(), messages);
        if (messages)
            QCOMPARE(m_messages.first(), QStringLiteral("Please enter the Admission Number."));
    }

    void enterInAdmissionDateListsThatDay()
    {
        m_window->txtAdmDate->setText(QStringLiteral("01/10/2025"));
        m_window->txtAdmDate->setFocus();
        QTest::keyClick(m_window->txtAdmDate, Qt::Key_Return);
        QCOMPARE(m_window->Grid2->rows(), 2);
        QCOMPARE(m_window->Grid2->textMatrix(1, 1), QStringLiteral("IP-1001"));
    }

    void gridEventsReachTheirProcedures()
    {
        QTest::keyClicks(m_window->txtLastName, QStringLiteral("DELOS"));
        QTest::mouseClick(m_window->cmdSearch, Qt::LeftButton);
        QCOMPARE(m_window->Grid1->rows(), 2);
        const QModelIndex patient = m_window->Grid1->model()->index(0, 3);
        QTest::mouseClick(m_window->Grid1->viewport(), Qt::LeftButton, {},
                          m_window->Grid1->visualRect(patient).center());
        QCOMPARE(m_window->txtHospNum->text(), QStringLiteral("H0003"));
        QCOMPARE(m_window->Grid2->rows(), 2);

        const QModelIndex registration = m_window->Grid2->model()->index(0, 3);
        QTest::mouseDClick(m_window->Grid2->viewport(), Qt::LeftButton, {},
                           m_window->Grid2->visualRect(registration).center());
        QFile handOff(platform::files::inProgramFolder(QStringLiteral("LastPatient.txt")));
        QVERIFY(handOff.open(QIODevice::ReadOnly));
        QVERIFY(handOff.readAll().startsWith("H0003|IP-2001|"));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    }

    void tabOrderAUserMeets()
    {
        const QStringList expected = {"txtLastName", "txtBirthDate", "txtMiddleName", "txtFirstName",
                                      "cmdSearch", "cmdReset", "Grid1", "txtAdmDate", "cmdSearch2",
                                      "cmdToday", "Grid2", "Text1", "txtIDNum", "cmdGoAdmission",
                                      "cmdAdmin", "txtHospNum"};
        m_window->txtHospNum->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_window->txtHospNum));
        QStringList met;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            met << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(met, expected);
        // Back again with Shift+Tab, which must skip the hidden controls as well.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdAdmin"));
    }

    // The site's frames: the caption sits on the top line of the border, and no line of the
    // border runs through a control. Found in the picture the frame paints, not in its code.
    void frameBordersClearTheirControls_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("Search Method 1") << "Frame2" << QRect(120, 120, 8895, 5535);
        QTest::newRow("Registration") << "Frame3" << QRect(120, 5760, 8895, 4095);
        QTest::newRow("Search Method 2") << "Frame1" << QRect(9120, 120, 3135, 1095);
    }
    void frameBordersClearTheirControls()
    {
        QFETCH(QString, frame);
        QFETCH(QRect, twips);
        auto *box = m_window->findChild<QGroupBox *>(frame);
        QVERIFY(box);
        QCOMPARE(box->geometry(), platform::ui::twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        const QImage picture = box->grab().toImage();
        const int w = picture.width(), h = picture.height();
        // Rows and columns of the border, where the picture differs from the frame's own
        // background: a column just inside the right edge and a row just above the bottom edge
        // cross nothing else.
        const QRgb background = picture.pixel(w - 5, h / 2);
        QList<int> topRows, bottomRows, leftCols, rightCols;
        for (int y = 0; y < h; ++y)
            if (picture.pixel(w - 5, y) != background)
                (y < h / 2 ? topRows : bottomRows) << y;
        for (int x = 0; x < w; ++x)
            if (picture.pixel(x, h - 5) != background)
                (x < w / 2 ? leftCols : rightCols) << x;
        QVERIFY(!topRows.isEmpty() && !bottomRows.isEmpty() && !leftCols.isEmpty() && !rightCols.isEmpty());

        QRect controls;
        for (QWidget *child : box->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (child->isVisibleTo(box))
                controls |= child->geometry();
        QVERIFY2(topRows.last() < controls.top(), qPrintable(QStringLiteral("top line %1, first control at %2")
                                                              .arg(topRows.last()).arg(controls.top())));
        QVERIFY(bottomRows.first() > controls.bottom());
        QVERIFY(leftCols.last() < controls.left());
        QVERIFY(rightCols.first() > controls.right());

        // The caption's letters: the dark pixels at the frame's top left, above every control.
        const int captionEnd = box->fontMetrics().horizontalAdvance(box->title()) + 20;
        int glyphTop = h, glyphBottom = -1;
        for (int y = 0; y < controls.top(); ++y)
            for (int x = 0; x < captionEnd; ++x)
                if (qGray(picture.pixel(x, y)) < 96) {
                    glyphTop = qMin(glyphTop, y);
                    glyphBottom = qMax(glyphBottom, y);
                }
        QVERIFY2(glyphTop <= topRows.first() && topRows.first() <= glyphBottom,
                 qPrintable(QStringLiteral("caption rows %1 to %2, top line %3").arg(glyphTop).arg(glyphBottom)
                                .arg(topRows.first())));
    }

    // What a screen reader announces for each field: the caption beside it, while the caption
    // itself stays as the window has always shown it.
    void fieldsAreNamedByTheirCaptions_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("caption"); // object name of the caption's control
        QTest::addColumn<QString>("captionText");
        QTest::addColumn<QString>("name");
        QTest::newRow("hospital number") << "txtHospNum" << "Lable1(6)" << "Hospital #:" << "Hospital #";
        QTest::newRow("last name") << "txtLastName" << "Lable1(0)" << "&Last Name:" << "Last Name";
        QTest::newRow("birth date") << "txtBirthDate" << "Lable1(2)" << "Birthdate:" << "Birthdate";
        QTest::newRow("middle name") << "txtMiddleName" << "Lable1(3)" << "Middle Name:" << "Middle Name";
        QTest::newRow("first name") << "txtFirstName" << "Lable1(1)" << "First Name:" << "First Name";
        QTest::newRow("patient grid") << "Grid1" << "Label1" << "Records:" << "Records";
        QTest::newRow("admission date") << "txtAdmDate" << "Label2" << "Admission Date:" << "Admission Date";
        QTest::newRow("registration grid") << "Grid2" << "Frame3" << "Registration" << "Registration";
        QTest::newRow("admission number") << "txtIDNum" << "Lable1(8)" << "Admission #:" << "Admission #";
        QTest::newRow("instructions") << "Text1" << "" << "" << "Patient Search Instructions";
    }
    void fieldsAreNamedByTheirCaptions()
    {
        QFETCH(QString, field);
        QFETCH(QString, caption);
        QFETCH(QString, captionText);
        QFETCH(QString, name);
        QWidget *widget = control(field.toLatin1().constData());
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), name);
        if (caption.isEmpty())
            return;
        QWidget *captionControl = control(caption.toLatin1().constData());
        if (auto *label = qobject_cast<QLabel *>(captionControl))
            QCOMPARE(label->text(), captionText);
        else
            QCOMPARE(qobject_cast<QGroupBox *>(captionControl)->title(), captionText);
    }

    // Nothing the keyboard can reach is left without a name, here or in the maintenance window.
    void everyFieldHasAName()
    {
        QTest::mouseClick(m_window->cmdAdmin, Qt::LeftButton);
        QList<QWidget *> windows{m_window.get()};
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<frmAdmin *>(top) && top->isVisible())
                windows << top;
        QCOMPARE(windows.size(), 2);
        for (QWidget *window : windows)
            for (QWidget *widget : window->findChildren<QWidget *>())
                if (widget->isVisibleTo(window) && widget->focusPolicy() & Qt::TabFocus) {
                    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
                    QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                             qPrintable(widget->objectName()));
                }
    }

    void oneMaintenanceWindow()
    {
        QTest::mouseClick(m_window->cmdAdmin, Qt::LeftButton);
        QTest::mouseClick(m_window->cmdAdmin, Qt::LeftButton);
        QCOMPARE(visibleAdminWindows(), 1);
        // Closed, it is made anew on the next click.
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<frmAdmin *>(top))
                top->close();
        QTRY_COMPARE(visibleAdminWindows(), 0);
        QTest::mouseClick(m_window->cmdAdmin, Qt::LeftButton);
        QCOMPARE(visibleAdminWindows(), 1);
        QVERIFY(m_messages.isEmpty());
    }

    void aFailureInAHandlerIsReportedOnceAndTheWindowGoesOn()
    {
        // The apostrophe goes into the statement unchanged, and the database refuses it.
        QTest::keyClicks(m_window->txtLastName, QStringLiteral("O'BRIEN"));
        QTest::keyClick(m_window->txtLastName, Qt::Key_Return);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().startsWith(QStringLiteral("The patient search could not finish.\n\n")));
        QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor); // the hourglass is gone
        QTest::mouseClick(m_window->cmdReset, Qt::LeftButton);
        QVERIFY(m_window->txtLastName->text().isEmpty());
        QCOMPARE(m_messages.size(), 1);
    }
};

QTEST_MAIN(TestSearchWindowLayout)
#include "tst_frmmain2.moc"
