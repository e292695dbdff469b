#pragma once
// The frame of the site's forms: an etched border whose top line runs through the middle of the
// caption, so the caption sits on the border and the border stays clear of the controls placed
// inside (they start 240 twips down). A group box of the platform style draws its caption above
// the box instead and pushes the top line down into the first row of controls.

#include <QGroupBox>

namespace platform::ui {

class Frame : public QGroupBox {
    Q_OBJECT
public:
    explicit Frame(const QString &caption, QWidget *parent = nullptr);

    // The row of the border's top line, in the frame's own pixels.
    int topLine() const;
    // Where the caption is drawn; the top line is broken under it.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace platform::ui
