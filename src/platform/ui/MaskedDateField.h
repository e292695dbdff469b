#pragma once
// The masked date box of the old windows: mask ##/##/####, prompt '_', ten characters always.

#include <QLineEdit>

namespace platform::ui {

class MaskedDateField : public QLineEdit {
    Q_OBJECT
public:
    static inline const QString emptyText = QStringLiteral("__/__/____");

    explicit MaskedDateField(QWidget *parent = nullptr);

    // Always ten characters, prompt characters and slashes included ("__/__/____" when empty).
    QString text() const;
    // Writing "__/__/____" empties the field.
    void setText(const QString &text);

signals:
    void focusLost();
    void keyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace platform::ui
