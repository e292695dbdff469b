#include "platform/ui/Grid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using platform::ui::Grid;

class PaintCounter : public QObject {
public:
    explicit PaintCounter(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_onPaint();
        return false;
    }

private:
    std::function<void()> m_onPaint;
};

class TestGrid : public QObject {
    Q_OBJECT

private:
    // A shown grid of three columns with a heading and `dataRows` rows "r<n>\t<n>\tx".
    static std::unique_ptr<Grid> filled(int dataRows)
    {
        auto grid = std::make_unique<Grid>();
        grid->resize(400, 300);
        grid->setCols(3);
        grid->setTextMatrix(0, 0, QStringLiteral("Name"));
        for (int r = 1; r <= dataRows; ++r)
            grid->addItem(QStringLiteral("r%1\t%1\tx").arg(r));
        grid->show();
        return grid;
    }
    static QPoint cell(Grid &grid, int row, int col)
    {
        return grid.visualRect(grid.model()->index(row - 1, col)).center();
    }

private slots:
    void headingRowIsRowZero()
    {
        auto grid = filled(2);
        QCOMPARE(grid->rows(), 3);
        QCOMPARE(grid->textMatrix(0, 0), QStringLiteral("Name"));
        QCOMPARE(grid->textMatrix(2, 0), QStringLiteral("r2"));
        QCOMPARE(grid->textMatrix(2, 1), QStringLiteral("2"));
        // Out of range reads as empty rather than failing.
        QCOMPARE(grid->textMatrix(9, 0), QString());
        QCOMPARE(grid->textMatrix(1, 7), QString());
    }

    void addItemSplitsOnTabs_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("all cells") << "a\tb\tc" << QStringList{"a", "b", "c"};
        QTest::newRow("fewer cells") << "a" << QStringList{"a", "", ""};
        QTest::newRow("empty cells kept") << "\t\tc" << QStringList{"", "", "c"};
        QTest::newRow("extra cells dropped") << "a\tb\tc\td" << QStringList{"a", "b", "c"};
        QTest::newRow("blanks kept") << " a \t b\t" << QStringList{" a ", " b", ""};
    }
    void addItemSplitsOnTabs()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, cells);
        Grid grid;
        grid.setCols(3);
        grid.addItem(line);
        QCOMPARE(grid.rows(), 2);
        for (int c = 0; c < 3; ++c)
            QCOMPARE(grid.textMatrix(1, c), cells.at(c));
    }

    void cuttingBackBumpsTheGeneration()
    {
        auto grid = filled(3);
        const quint64 before = grid->generation();
        grid->setRows(5); // growing keeps what is there
        QCOMPARE(grid->generation(), before);
        QCOMPARE(grid->rows(), 5);
        QCOMPARE(grid->textMatrix(3, 0), QStringLiteral("r3"));
        grid->setRows(1);
        QCOMPARE(grid->rows(), 1);
        QVERIFY(grid->generation() > before);
        QCOMPARE(grid->textMatrix(0, 0), QStringLiteral("Name")); // the heading survives
        grid->addItem(QStringLiteral("again"));
        QCOMPARE(grid->row(), 1);
    }

    void widthsInTwips()
    {
        Grid grid;
        grid.setCols(2);
        grid.setColWidth(0, 1500);
        QCOMPARE(grid.columnWidth(0), 100);
        QCOMPARE(grid.colWidth(0), 1500);
        grid.setColWidth(1, 0);
        QVERIFY(grid.isColumnHidden(1));
        QCOMPARE(grid.colWidth(1), 0);
        grid.setColWidth(1, 300);
        QVERIFY(!grid.isColumnHidden(1));
    }

    void alignmentCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("left-bottom") << 2 << "12" << int(Qt::AlignLeft | Qt::AlignBottom);
        QTest::newRow("left-top") << 0 << "a" << int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("right-center") << 7 << "a" << int(Qt::AlignRight | Qt::AlignVCenter);
        QTest::newRow("general text") << 9 << "abc" << int(Qt::AlignLeft | Qt::AlignVCenter);
        QTest::newRow("general number") << 9 << "42.5" << int(Qt::AlignRight | Qt::AlignVCenter);
    }
    void alignmentCodes()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(int, expected);
        Grid grid;
        grid.setCols(1);
        grid.addItem(text);                  // before the code is set...
        grid.setColAlignment(0, code);
        grid.addItem(text);                  // ...and after
        QCOMPARE(grid.item(0, 0)->textAlignment(), expected);
        QCOMPARE(grid.item(1, 0)->textAlignment(), expected);
    }

    void clickMakesTheRowCurrentThenSignals()
    {
        auto grid = filled(5);
        int rowSeen = -2;
        connect(grid.get(), &Grid::gridClicked, this, [&] { rowSeen = grid->row(); });
        QSignalSpy doubles(grid.get(), &Grid::gridDoubleClicked);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(*grid, 3, 0));
        QCOMPARE(rowSeen, 3);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell(*grid, 4, 0));
        QCOMPARE(doubles.count(), 1);
        QCOMPARE(grid->row(), 4);
        const auto *editor = grid->findChild<QLineEdit *>();
        QVERIFY(!editor || !editor->isVisible()); // read-only: no editor opened
        QCOMPARE(grid->textMatrix(4, 0), QStringLiteral("r4"));
    }

    // Listings pump events after each row; the grid must paint the rows together, and must not be
    // left unpainted once the rows stop coming.
    void rowsArrivingOneByOneArePaintedTogether()
    {
        auto grid = filled(0);
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        QTest::qWait(50);
        int paints = 0;
        int rowsAtLastPaint = 0;
        PaintCounter counter([&] {
            ++paints;
            rowsAtLastPaint = grid->rows();
        });
        grid->viewport()->installEventFilter(&counter);
        for (int r = 1; r <= 60; ++r) {
            grid->addItem(QStringLiteral("r%1\t%1\tx").arg(r));
            QCoreApplication::processEvents();
        }
        // The last paint shows every row, however busy the machine.
        QTRY_COMPARE(rowsAtLastPaint, 61);
        QVERIFY2(paints < 30, qPrintable(QString::number(paints)));
        QCOMPARE(grid->rows(), 61);
    }

    void keyDownSeesTheRowBeforeTheKeyMovesIt()
    {
        auto grid = filled(5);
        grid->setFocus();
        grid->setRow(2);
        QList<int> rowsSeen;
        connect(grid.get(), &Grid::gridKeyDown, this, [&] { rowsSeen << grid->row(); });
        QTest::keyClick(grid.get(), Qt::Key_Down);
        QTest::keyClick(grid.get(), Qt::Key_A);
        QCOMPARE(rowsSeen, (QList<int>{2, 3}));
        QCOMPARE(grid->row(), 3);
    }

    // While the grid has the keyboard, its current cell is framed; a hidden current column
    // frames the first cell the clerk can see. Compared in the pictures the grid paints.
    void focusFrameOnTheCurrentCell_data()
    {
        QTest::addColumn<bool>("firstColumnHidden");
        QTest::addColumn<bool>("rowSelected");
        QTest::newRow("current cell") << false << false;
        QTest::newRow("in a selected row") << false << true;
        QTest::newRow("current column hidden") << true << false;
    }
    void focusFrameOnTheCurrentCell()
    {
        QFETCH(bool, firstColumnHidden);
        QFETCH(bool, rowSelected);
        QWidget window;
        auto *other = new QLineEdit(&window);
        auto *grid = new Grid(&window);
        grid->setGeometry(0, 30, 400, 200);
        grid->setCols(3);
        for (int r = 1; r <= 3; ++r)
            grid->addItem(QStringLiteral("r%1\t%1\tx").arg(r));
        if (firstColumnHidden)
            grid->setColWidth(0, 0);
        grid->setCurrentCell(1, 0, rowSelected ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                                               : QItemSelectionModel::NoUpdate);
        window.resize(400, 240);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        const QImage without = grid->viewport()->grab().toImage();
        grid->setFocus();
        QTRY_VERIFY(grid->hasFocus());
        const QImage with = grid->viewport()->grab().toImage();

        const QRect cell = grid->visualRect(grid->model()->index(1, firstColumnHidden ? 1 : 0));
        int onEdge = 0, elsewhere = 0;
        for (int y = 0; y < with.height(); ++y)
            for (int x = 0; x < with.width(); ++x) {
                if (with.pixel(x, y) == without.pixel(x, y))
                    continue;
                if (!cell.contains(x, y))
                    ++elsewhere;
                else if (!cell.adjusted(2, 2, -2, -2).contains(x, y))
                    ++onEdge;
            }
        // A dotted frame changes about every other pixel round the cell, and nothing outside it.
        QVERIFY2(onEdge >= (cell.width() + cell.height()) / 2, qPrintable(QString::number(onEdge)));
        QCOMPARE(elsewhere, 0);
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
