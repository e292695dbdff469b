#pragma once
// The FlexGrid of the old windows over QTableWidget: row 0 is the heading row, data rows follow;
// read-only; the whole row is selected; widths are in twips and a width of 0 hides the column.

#include <QString>
#include <QTableWidget>
#include <QTimer>
#include <QVector>

namespace platform::ui {

class Grid : public QTableWidget {
    Q_OBJECT
public:
    // FlexGrid alignment codes used by the windows.
    enum Alignment { AlignLeftTop = 0, AlignLeftCenter = 1, AlignLeftBottom = 2, AlignGeneral = 9 };

    explicit Grid(QWidget *parent = nullptr);

    int rows() const;               // heading row included
    void setRows(int rows);         // cuts back or grows (new rows are empty); bumps generation() when cutting back
    int cols() const;
    void setCols(int cols);
    int row() const;                // current data row (1 on), -1 none; the heading row is never current
    void setRow(int row);
    QString textMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);
    void addItem(const QString &tabSeparated); // appends one row; tabs split the cells
    void setColWidth(int col, int twips);      // 0 hides the column
    int colWidth(int col) const;               // in twips
    void setColAlignment(int col, int code);

    // Bumped each time the grid is cut back, so a fill that resumes after a nested cut-back can
    // tell that the rows it was adding to are gone.
    quint64 generation() const { return m_generation; }

signals:
    void gridClicked();
    void gridDoubleClicked();
    void gridKeyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void holdPainting();

    quint64 m_generation = 0;
    QTimer m_paintPace; // while rows arrive, the grid is painted when this fires, not per row
    bool m_holdingPaint = false;
    QVector<int> m_alignments; // alignment code per column, applied to data cells
};

} // namespace platform::ui
