#pragma once
// A statement put together from the program's fixed pieces and the values a user typed, with
// the place of every value remembered, so that the data layer can prove before sending it that
// each value stayed the literal it was meant to be.

#include <QList>
#include <QString>

namespace platform {

class Statement {
public:
    // What the statement was built as; the guard refuses text that reads as anything else.
    enum class Kind { Select, Insert, Update, Delete };
    // Where a value goes: inside a string literal the fixed pieces open and close, or as one
    // number standing alone.
    enum class ValueKind { InText, Number };

    struct Value {
        qsizetype start = 0;  // in text(), in UTF-16 code units
        qsizetype length = 0;
        ValueKind kind = ValueKind::InText;
        QString field;        // the field's caption, for the message ("Last Name")
    };

    explicit Statement(Kind kind) : m_kind(kind) {}

    // A fixed piece of the program's own text.
    Statement &operator+=(const QString &piece)
    {
        m_text += piece;
        return *this;
    }
    // A value as typed, unescaped: the text sent is exactly the pieces and the values joined.
    Statement &addValue(const QString &value, const QString &field, ValueKind kind = ValueKind::InText)
    {
        m_values.append({m_text.size(), value.size(), kind, field});
        m_text += value;
        return *this;
    }

    Kind kind() const { return m_kind; }
    const QString &text() const { return m_text; }
    const QList<Value> &values() const { return m_values; }

private:
    Kind m_kind;
    QString m_text;
    QList<Value> m_values;
};

// Throws Failure, naming the field, when a value does not lie wholly inside one string literal
// (or is not one number where a number goes), or when the text is not one statement of its
// kind. Reads the text with the engine's own tokenizer, on every connection, so the check and
// the engine cannot read a statement differently.
void checkStatement(const Statement &statement);

} // namespace platform
