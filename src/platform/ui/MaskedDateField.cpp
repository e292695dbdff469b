#include "platform/ui/MaskedDateField.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace platform::ui {

MaskedDateField::MaskedDateField(QWidget *parent)
    : QLineEdit(parent)
{
    // '9' takes only a digit, the slashes are fixed, '_' stands in for what is not typed yet.
    setInputMask(QStringLiteral("99/99/9999;_"));
    setMaxLength(10);
}

QString MaskedDateField::text() const
{
    return QLineEdit::displayText();
}

void MaskedDateField::setText(const QString &text)
{
    if (text == emptyText)
        QLineEdit::clear();
    else
        QLineEdit::setText(text);
}

void MaskedDateField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // An empty field takes the first digit at its start, wherever it was entered.
    if (displayText() == emptyText && event->reason() != Qt::ActiveWindowFocusReason)
        QTimer::singleShot(0, this, [this] {
            if (displayText() == emptyText)
                setCursorPosition(0);
        });
}

void MaskedDateField::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Only a move to another control counts as leaving the field, not a switch of windows.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit focusLost();
}

void MaskedDateField::keyPressEvent(QKeyEvent *event)
{
    emit keyDown(event->key(), event->modifiers());
    QLineEdit::keyPressEvent(event);
}

} // namespace platform::ui
