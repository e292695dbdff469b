#include "platform/ui/Grid.h"

#include "platform/ui/Twips.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace platform::ui {

namespace {

// The old grid's row height, 240 twips; a larger platform font grows it so text is not cut.
constexpr int defaultRowTwips = 240;

// One screen frame: rows arriving faster than this are painted together.
constexpr int paintPaceMs = 16;

bool looksNumeric(const QString &text)
{
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

Qt::Alignment alignmentFor(int code, const QString &text)
{
    switch (code) {
    case 0: return Qt::AlignLeft | Qt::AlignTop;
    case 1: return Qt::AlignLeft | Qt::AlignVCenter;
    case 2: return Qt::AlignLeft | Qt::AlignBottom;
    case 3: return Qt::AlignHCenter | Qt::AlignTop;
    case 4: return Qt::AlignHCenter | Qt::AlignVCenter;
    case 5: return Qt::AlignHCenter | Qt::AlignBottom;
    case 6: return Qt::AlignRight | Qt::AlignTop;
    case 7: return Qt::AlignRight | Qt::AlignVCenter;
    case 8: return Qt::AlignRight | Qt::AlignBottom;
    default: // general: text to the left, numbers to the right
        return (looksNumeric(text) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
}

} // namespace

// Row 0 is the table's horizontal header, so the heading stays in place while the data scrolls,
// as the old grid's fixed row did; data row r is table row r - 1.
Grid::Grid(QWidget *parent)
    : QTableWidget(parent)
{
    setCols(2);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(false); // Tab leaves the grid, as it did
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    QHeaderView *header = horizontalHeader();
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(0);
    const int rowHeight = qMax(px(defaultRowTwips), fontMetrics().height() + 2);
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    header->setFixedHeight(rowHeight);
    // A click on the heading row is still a click on the grid; the current row stays.
    connect(header, &QHeaderView::sectionPressed, this, [this](int) { emit gridClicked(); });
    m_paintPace.setSingleShot(true);
    m_paintPace.setInterval(paintPaceMs);
    // Enabling updates again and painting at once shows every row added meanwhile. The paint is
    // not left to update(): on a busy machine Qt can lose the update posted right after a
    // widget's updates come back, and the grid would then stay unpainted until something else
    // repainted it.
    connect(&m_paintPace, &QTimer::timeout, this, [this] {
        if (m_holdingPaint) {
            setUpdatesEnabled(true);
            repaint();
        }
        m_holdingPaint = false;
    });
}

int Grid::rows() const
{
    return rowCount() + 1;
}

void Grid::setRows(int rows)
{
    const int dataRows = qMax(rows, 1) - 1;
    if (dataRows < rowCount())
        ++m_generation;
    setRowCount(dataRows);
}

int Grid::cols() const
{
    return columnCount();
}

void Grid::setCols(int cols)
{
    const int old = columnCount();
    setColumnCount(qMax(cols, 0));
    for (int c = old; c < cols; ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem());
    m_alignments.resize(qMax(cols, 0), AlignGeneral);
}

int Grid::row() const
{
    const int r = currentRow();
    return r < 0 ? -1 : r + 1;
}

void Grid::setRow(int row)
{
    if (row >= 1 && row <= rowCount())
        setCurrentCell(row - 1, qMax(currentColumn(), 0));
}

QString Grid::textMatrix(int row, int col) const
{
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return {};
    const QTableWidgetItem *cell = row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
    return cell ? cell->text() : QString();
}

void Grid::setTextMatrix(int row, int col, const QString &text)
{
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return;
    if (row == 0) {
        QTableWidgetItem *cell = horizontalHeaderItem(col);
        if (!cell)
            setHorizontalHeaderItem(col, cell = new QTableWidgetItem());
        cell->setText(text);
        return;
    }
    QTableWidgetItem *cell = item(row - 1, col);
    if (!cell) {
        cell = new QTableWidgetItem();
        setItem(row - 1, col, cell);
    }
    cell->setText(text);
    cell->setTextAlignment(alignmentFor(m_alignments.value(col, AlignGeneral), text));
}

void Grid::addItem(const QString &tabSeparated)
{
    holdPainting();
    const QStringList cells = tabSeparated.split(QLatin1Char('\t'));
    const int r = rowCount();
    insertRow(r);
    for (int c = 0; c < columnCount(); ++c)
        setTextMatrix(r + 1, c, c < cells.size() ? cells.at(c) : QString());
    // The old grid always had a current data row once there was one.
    if (currentRow() < 0)
        setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
}

void Grid::holdPainting()
{
    // Listings add a row and then let events run, so clicks and Stop still work mid-fill; painting
    // the grid at each of those turns would cost far more than reading the rows.
    // The whole grid is held, not only its cells: the scroll bar changes with every row too.
    if (m_paintPace.isActive() || !updatesEnabled() || !isVisible())
        return;
    setUpdatesEnabled(false);
    m_holdingPaint = true;
    m_paintPace.start();
}

void Grid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= columnCount())
        return;
    if (twips <= 0) {
        setColumnHidden(col, true);
        return;
    }
    setColumnHidden(col, false);
    setColumnWidth(col, px(twips));
}

int Grid::colWidth(int col) const
{
    if (col < 0 || col >= columnCount() || isColumnHidden(col))
        return 0;
    return columnWidth(col) * twipsPerPixel;
}

void Grid::setColAlignment(int col, int code)
{
    if (col < 0 || col >= columnCount())
        return;
    m_alignments[col] = code;
    for (int r = 0; r < rowCount(); ++r)
        if (QTableWidgetItem *cell = item(r, col))
            cell->setTextAlignment(alignmentFor(code, cell->text()));
}

void Grid::changeEvent(QEvent *event)
{
    QTableWidget::changeEvent(event);
    // The heading row is in the grid's own font; the platform would otherwise give headers one of
    // their own.
    if (event->type() == QEvent::FontChange) {
        QFont heading;
        heading.setFamily(font().family());
        heading.setPointSizeF(font().pointSizeF());
        heading.setWeight(font().weight());
        heading.setItalic(font().italic());
        horizontalHeader()->setFont(heading);
    }
}

void Grid::paintEvent(QPaintEvent *event)
{
    QTableWidget::paintEvent(event);
    if (!hasFocus())
        return;
    // The old grid framed its current cell while it had the keyboard; the platform style frames
    // it only after a Tab, and not at all in a selected row. A hidden current column (the
    // registration grid's first) frames the first cell the clerk can see instead.
    QModelIndex cell = currentIndex();
    if (!cell.isValid())
        return;
    if (isColumnHidden(cell.column())) {
        int shown = 0;
        while (shown < columnCount() && isColumnHidden(shown))
            ++shown;
        if (shown == columnCount())
            return;
        cell = model()->index(cell.row(), shown);
    }
    const QRect rect = visualRect(cell).adjusted(0, 0, -1, -1);
    if (rect.isEmpty())
        return;
    QPainter painter(viewport());
    QPen pen(palette().color(selectionModel()->isSelected(cell) ? QPalette::HighlightedText : QPalette::Text));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(rect);
}

void Grid::focusInEvent(QFocusEvent *event)
{
    QTableWidget::focusInEvent(event);
    viewport()->update();
}

void Grid::focusOutEvent(QFocusEvent *event)
{
    QTableWidget::focusOutEvent(event);
    viewport()->update();
}

void Grid::mousePressEvent(QMouseEvent *event)
{
    QTableWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit gridClicked();
}

void Grid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit gridDoubleClicked();
}

void Grid::keyPressEvent(QKeyEvent *event)
{
    // The key-down action sees the row that was current before the key moves it.
    emit gridKeyDown(event->key(), event->modifiers());
    QTableWidget::keyPressEvent(event);
}

} // namespace platform::ui
