#include "platform/data/Statement.h"

#include "platform/Failure.h"
#include "tsql/Error.h"
#include "tsql/Lexer.h"

#include <string>
#include <vector>

namespace platform {

namespace {

// Byte offsets of a value in the UTF-8 text the tokenizer reads.
struct ByteSpan {
    std::size_t begin = 0, end = 0;
};

std::vector<ByteSpan> byteSpans(const Statement &statement, std::string &utf8)
{
    const QString &text = statement.text();
    std::vector<ByteSpan> spans;
    qsizetype at = 0;
    for (const Statement::Value &v : statement.values()) {
        utf8 += text.mid(at, v.start - at).toStdString();
        ByteSpan span;
        span.begin = utf8.size();
        utf8 += text.mid(v.start, v.length).toStdString();
        span.end = utf8.size();
        spans.push_back(span);
        at = v.start + v.length;
    }
    utf8 += text.mid(at).toStdString();
    return spans;
}

QString refusal(const Statement::Value &v, const QString &typed)
{
    if (v.kind == Statement::ValueKind::InText && typed.contains(QLatin1Char('\'')))
        return QStringLiteral("The %1 holds an apostrophe ('), which cannot be used here. Nothing was sent to the database.")
            .arg(v.field);
    if (v.kind == Statement::ValueKind::Number)
        return QStringLiteral("The %1 is not a number. Nothing was sent to the database.").arg(v.field);
    return QStringLiteral("The %1 cannot be used in a statement as typed. Nothing was sent to the database.").arg(v.field);
}

bool startsAs(const tsql::Token &first, Statement::Kind kind)
{
    switch (kind) {
    case Statement::Kind::Select: return first.isWord("SELECT");
    case Statement::Kind::Insert: return first.isWord("INSERT");
    case Statement::Kind::Update: return first.isWord("UPDATE");
    case Statement::Kind::Delete: return first.isWord("DELETE");
    }
    return false;
}

} // namespace

void checkStatement(const Statement &statement)
{
    std::string utf8;
    const std::vector<ByteSpan> spans = byteSpans(statement, utf8);
    std::vector<tsql::Token> tokens;
    try {
        tokens = tsql::tokenize(utf8);
    } catch (const tsql::Error &) {
        // An unclosed quotation mark: an apostrophe in a value opened or closed a literal.
        for (const Statement::Value &v : statement.values()) {
            const QString typed = statement.text().mid(v.start, v.length);
            if (typed.contains(QLatin1Char('\'')))
                throw Failure(refusal(v, typed));
        }
        throw Failure(QStringLiteral("The statement is not the one the program built. Nothing was sent to the database."));
    }
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const ByteSpan &span = spans[i];
        const Statement::Value &v = statement.values().at(static_cast<qsizetype>(i));
        const QString typed = statement.text().mid(v.start, v.length);
        bool inside = false;
        for (const tsql::Token &t : tokens) {
            // The token the value starts in (an empty value: the token around its place).
            const bool holds = span.begin == span.end ? t.offset < span.begin && span.begin < t.endOffset
                                                      : t.offset <= span.begin && span.begin < t.endOffset;
            if (!holds)
                continue;
            if (v.kind == Statement::ValueKind::InText) {
                // Inside the quotes: after the opening quote (and N) and before the closing one.
                const std::size_t open = t.offset + (t.national ? 2 : 1);
                inside = t.kind == tsql::Token::Kind::String && open <= span.begin && span.end < t.endOffset;
            } else {
                inside = t.kind == tsql::Token::Kind::Number && t.offset == span.begin && t.endOffset == span.end;
            }
            break;
        }
        if (!inside)
            throw Failure(refusal(v, typed));
    }
    // One statement of its kind: a value that stayed in its literal cannot start another, but
    // the check holds for the fixed pieces too.
    bool oneStatement = !tokens.empty() && startsAs(tokens.front(), statement.kind());
    for (std::size_t i = 0; oneStatement && i < tokens.size(); ++i) {
        const tsql::Token &t = tokens[i];
        if (t.isSymbol(";") && i + 1 < tokens.size() && tokens[i + 1].kind != tsql::Token::Kind::End)
            oneStatement = false;
    }
    if (!oneStatement)
        throw Failure(QStringLiteral("The statement is not the one the program built. Nothing was sent to the database."));
}

} // namespace platform
