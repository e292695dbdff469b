#include "SearchWindowFixture.h"

#include "platform/ui/MaskedDateField.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace searchtest;
using platform::ui::Grid;

class TestPatientSearch : public SearchWindowFixture {
    Q_OBJECT
private slots:
    void initTestCase() { createDatabase(); }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void patientQuery_data();
    void patientQuery();
    void patientRows_data();
    void patientRows();
    void listStopsAt120();
    void pick_data();
    void pick();
    void failuresGoThroughGuard_data();
    void failuresGoThroughGuard();
    void secondSearchInsideFill();
    void pickInsideFillResumesIt();
};

void TestPatientSearch::patientQuery_data()
{
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("lastName");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QString>("middleName");
    QTest::addColumn<QString>("birthDate");
    QTest::addColumn<QString>("conditions"); // null: the input check stops the search
    QTest::addColumn<QStringList>("listed");

    const QString noBirth = platform::ui::MaskedDateField::emptyText;
    const QString refused;
    QTest::newRow("last name") << "" << "DELA" << "" << "" << noBirth << " and lastname like 'DELA%' "
                               << QStringList{"H0001", "H0002"};
    QTest::newRow("hospital number does not switch names off")
        << "H0001" << "GAR" << "" << "" << noBirth << " and lastname like 'GAR%'  and hospnum =  'H0001' "
        << QStringList{};
    QTest::newRow("every field")
        << "H0001" << "DELA" << "JU" << "SA" << "03/15/1980"
        << " and lastname like 'DELA%'  and hospnum =  'H0001'  and firstname like  'JU%'  and  middlename like  "
           "'SA%'  and birthdate =  '03/15/1980' "
        << QStringList{"H0001"};
    QTest::newRow("first and middle name") << "" << "" << "MA" << "LO" << noBirth
                                           << " and firstname like  'MA%'  and  middlename like  'LO%' "
                                           << QStringList{"H0002"};
    QTest::newRow("birth date alone") << "" << "" << "" << "" << "07/04/1980" << " and birthdate =  '07/04/1980' "
                                      << QStringList{"H0003"};
    QTest::newRow("impossible birth date") << "" << "DELO" << "" << "" << "02/30/1980"
                                           << " and lastname like 'DELO%' " << QStringList{"H0003"};
    QTest::newRow("blanks and case kept") << " h0004" << "ga" << "" << "" << noBirth
                                          << " and lastname like 'ga%'  and hospnum =  ' h0004' " << QStringList{};
    QTest::newRow("hospital number alone skips the check") << "H0004" << "" << "" << "" << noBirth
                                                           << " and hospnum =  'H0004' " << QStringList{"H0004"};
    QTest::newRow("nothing filled") << "" << "" << "" << "" << noBirth << refused << QStringList{};
    QTest::newRow("one letter per name") << "" << "D" << "J" << "S" << noBirth << refused << QStringList{};
    QTest::newRow("partly typed birth date") << "" << "D" << "" << "" << "07/04/19" << refused << QStringList{};
}

void TestPatientSearch::patientQuery()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, lastName);
    QFETCH(QString, firstName);
    QFETCH(QString, middleName);
    QFETCH(QString, birthDate);
    QFETCH(QString, conditions);
    QFETCH(QStringList, listed);

    w->txtHospNum->setText(hospNum);
    w->txtLastName->setText(lastName);
    w->txtFirstName->setText(firstName);
    w->txtMiddleName->setText(middleName);
    w->txtBirthDate->setText(birthDate);
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    const QString admDate = w->txtAdmDate->text();
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);

    const QStringList statements = newStatementsStartingWith(QStringLiteral("SELECT top 120 HospNum"));
    if (conditions.isNull()) {
        QCOMPARE(w->lblWarning->text(), QStringLiteral("Enter name with more than 1 characters."));
        QVERIFY(statements.isEmpty());
        QCOMPARE(w->txtIDNum->text(), QStringLiteral("IP-1001"));
        QCOMPARE(w->txtAdmDate->text(), admDate);
        return;
    }
    QCOMPARE(statements,
             QStringList{QString::fromLatin1(patientSelect) + conditions + QString::fromLatin1(patientOrder)});
    // A search by hospital number leaves the label as it was.
    QCOMPARE(w->lblWarning->text(), hospNum.isEmpty() ? QString() : QStringLiteral("-"));
    QCOMPARE(column(w->Grid1, 0), listed);
    QCOMPARE(w->txtIDNum->text(), QString());
    QCOMPARE(w->txtAdmDate->text(), platform::ui::MaskedDateField::emptyText);
    QCOMPARE(w->txtHospNum->text(), hospNum);
}

void TestPatientSearch::patientRows_data()
{
    QTest::addColumn<QString>("lastName");
    QTest::addColumn<QStringList>("rows");

    const QString juan = QStringLiteral("03/15/1980 (") + ageText(QDate(1980, 3, 15)) + ")";
    QTest::newRow("full rows in name order")
        << "DELA"
        << QStringList{"H0001\tH0001\tH0001\tDELA CRUZ, JUAN SANTOS\t" + juan + "\t12 Rizal St San Roque 1100",
                       // No birth date gives age 0; no address leaves the two blanks.
                       "H0002\tH0002\tH0002\tDELA CRUZ, MARIA LOPEZ\t (0)\t  "};
    QTest::newRow("one address part missing")
        << "DELOS"
        << QStringList{"H0003\tH0003\tH0003\tDELOS SANTOS, ANA REYES\t07/04/1980 (" + ageText(QDate(1980, 7, 4))
                       + ")\t5 Mabini  1200"};
    QTest::newRow("no middle name gives no name")
        << "GARCIA"
        << QStringList{"H0004\tH0004\tH0004\t\t01/02/1975 (" + ageText(QDate(1975, 1, 2)) + ")\t1 Luna Poblacion 1300"};
    QTest::newRow("no match") << "ZZ" << QStringList{};
}

void TestPatientSearch::patientRows()
{
    QFETCH(QString, lastName);
    QFETCH(QStringList, rows);

    searchLastName(lastName);
    QStringList shown;
    for (int r = 1; r < w->Grid1->rows(); ++r)
        shown << rowText(w->Grid1, r);
    QCOMPARE(shown, rows);
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void TestPatientSearch::listStopsAt120()
{
    searchLastName(QStringLiteral("CAPTEST"));
    QCOMPARE(w->Grid1->rows(), 121);
    QStringList expected;
    for (int i = 0; i < 120; ++i)
        expected << QStringLiteral("CAPTEST, F%1 X").arg(i, 3, 10, QLatin1Char('0'));
    QCOMPARE(column(w->Grid1, 3), expected);
}

void TestPatientSearch::pick_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("registrations");

    const QStringList juan{"OP-2001", "IP-1002", "OP-1001", "IP-1001"};
    QTest::newRow("second patient") << 2 << QList<int>{} << "H0002" << "DELA CRUZ, MARIA LOPEZ"
                                    << QStringList{"OP-2002"};
    QTest::newRow("first patient, newest first") << 1 << QList<int>{} << "H0001" << "DELA CRUZ, JUAN SANTOS" << juan;
    // A key picks the row current when it goes down, before an arrow moves the selection.
    QTest::newRow("arrow down picks the row it leaves")
        << 1 << QList<int>{Qt::Key_Down} << "H0001" << "DELA CRUZ, JUAN SANTOS" << juan;
    QTest::newRow("any key picks") << 2 << QList<int>{Qt::Key_Up, Qt::Key_A} << "H0001" << "DELA CRUZ, JUAN SANTOS"
                                   << juan;
}

void TestPatientSearch::pick()
{
    QFETCH(int, row);
    QFETCH(QList<int>, keys);
    QFETCH(QString, hospNum);
    QFETCH(QString, name);
    QFETCH(QStringList, registrations);

    searchLastName(QStringLiteral("DELA"));
    QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid1, row, 3));
    for (int key : keys)
        QTest::keyClick(w->Grid1, Qt::Key(key));

    QCOMPARE(w->txtHospNum->text(), hospNum);
    QCOMPARE(w->SelectedPatientName, name);
    QCOMPARE(column(w->Grid2, 1), registrations);
    // The search emptied the admission date, so the pick lists every date.
    const QStringList lists = newStatementsStartingWith(QStringLiteral("SELECT top 120 tbPatient"));
    QVERIFY(!lists.isEmpty());
    QCOMPARE(lists.last(), registrationStatement(" and %T.hospnum =  '" + hospNum + "' "));
}

void TestPatientSearch::failuresGoThroughGuard_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("button");
    QTest::newRow("patient search") << "txtLastName" << "cmdSearch";
    QTest::newRow("registration list") << "txtHospNum" << "cmdSearch2";
    QTest::newRow("admission lookup") << "txtIDNum" << "cmdGoAdmission";
}

void TestPatientSearch::failuresGoThroughGuard()
{
    QFETCH(QString, box);
    QFETCH(QString, button);

    w->findChild<QLineEdit *>(box)->setText(QStringLiteral("O'NEIL"));
    QTest::mouseClick(w->findChild<QPushButton *>(button), Qt::LeftButton);

    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(headerCalls.isEmpty());

    // The window goes on working.
    w->findChild<QLineEdit *>(box)->clear();
    searchLastName(QStringLiteral("DELA"));
    QCOMPARE(w->Grid1->rows(), 3);
}

void TestPatientSearch::secondSearchInsideFill()
{
    bool started = false;
    const auto connection = connect(w->Grid1->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        if (started)
            return;
        started = true;
        // Runs in the yield after the first row, as a clerk's second Enter would.
        QTimer::singleShot(0, this, [this] { searchLastName(QStringLiteral("DELA")); });
    });
    searchLastName(QStringLiteral("CAPTEST"));
    disconnect(connection);

    QVERIFY(started);
    QCOMPARE(newStatementsStartingWith(QStringLiteral("SELECT top 120 HospNum")).size(), 2);
    QCOMPARE(column(w->Grid1, 0), (QStringList{"H0001", "H0002"}));
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void TestPatientSearch::pickInsideFillResumesIt()
{
    int inserted = 0;
    const auto connection = connect(w->Grid1->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        if (++inserted == 3)
            QTimer::singleShot(0, this, [this] {
                QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid1, 2, 0));
            });
    });
    searchLastName(QStringLiteral("CAPTEST"));
    disconnect(connection);

    QCOMPARE(w->txtHospNum->text(), QStringLiteral("C0001"));
    QCOMPARE(w->SelectedPatientName, QStringLiteral("CAPTEST, F001 X"));
    // The registration list lowered StopListing, so the patient list went on to its end.
    QCOMPARE(w->Grid1->rows(), 121);
    QCOMPARE(w->Grid2->rows(), 1);
}

QTEST_MAIN(TestPatientSearch)
#include "tst_patientsearch.moc"
