#include "platform/ui/Frame.h"

#include <QPainter>
#include <QStyle>

namespace platform::ui {

namespace {
// Room between the caption and the two ends of the broken top line.
constexpr int captionGap = 2;
} // namespace

Frame::Frame(const QString &caption, QWidget *parent)
    : QGroupBox(caption, parent)
{
}

int Frame::topLine() const
{
    return fontMetrics().height() / 2;
}

QRect Frame::captionRect() const
{
    const QFontMetrics metrics = fontMetrics();
    // One average character in from the left edge, as the site's forms place it.
    const int left = metrics.averageCharWidth() + captionGap;
    return QRect(left, 0, metrics.horizontalAdvance(title()), metrics.height());
}

void Frame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int top = topLine();
    const int right = width() - 1;
    const int bottom = height() - 1;
    const QRect caption = captionRect();

    // The etched border: a shadow line and, one pixel below and to the right, a light one.
    const auto rectangle = [&](int offset, const QColor &colour) {
        painter.setPen(colour);
        const int l = offset, t = top + offset, r = right - 1 + offset, b = bottom - 1 + offset;
        painter.drawLine(l, t, caption.left() - captionGap, t);
        painter.drawLine(caption.right() + 1 + captionGap, t, r, t);
        painter.drawLine(r, t, r, b);
        painter.drawLine(l, b, r, b);
        painter.drawLine(l, t, l, b);
    };
    rectangle(0, palette().color(QPalette::Dark));
    rectangle(1, palette().color(QPalette::Light));

    style()->drawItemText(&painter, caption, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), QPalette::WindowText);
}

} // namespace platform::ui
