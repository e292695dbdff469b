// What makes two queries the same for the statement cache: the same tokens, the same literal
// types, read in the same database with the same variables.

#include "tsql/Batch.h"

#include "tsql/Literals.h"

#include <algorithm>

namespace tsql {

using namespace ast;

bool BatchRunner::reshapesQueries(const Statement &s)
{
    switch (s.kind) {
    case Statement::Kind::Select: {
        const Query &q = *s.as<SelectStatement>().query;
        return q.first().into && q.body->kind == QueryBody::Kind::Block;
    }
    case Statement::Kind::Insert:
    case Statement::Kind::Update:
    case Statement::Kind::Delete:
    case Statement::Kind::Use:
    case Statement::Kind::SetOption:
    case Statement::Kind::Declare:
    case Statement::Kind::SetVariable:
    case Statement::Kind::Print:
    case Statement::Kind::Raiserror:
    case Statement::Kind::Throw:
    case Statement::Kind::BeginTran:
    case Statement::Kind::CommitTran:
    case Statement::Kind::RollbackTran: // forgets for itself
    case Statement::Kind::SaveTran:
    case Statement::Kind::WaitFor:
    case Statement::Kind::Empty:
        return false;
    default:
        return true;
    }
}

std::string BatchRunner::queryShape(const SelectStatement &s, int &literalBase) const
{
    std::string key;
    key.reserve(s.endOffset - s.offset + 64);
    // Variables take part by type; a table variable's table is the batch's own.
    for (const auto &[name, v] : m_vars) {
        if (v.isTable)
            return {};
        key += name;
        key += ' ';
        key += v.type.display();
        key += ';';
    }
    key += m_e.currentDatabase();
    key += '\x1e';

    const auto first = std::lower_bound(m_tokens.begin(), m_tokens.end(), s.offset,
                                        [](const Token &t, std::size_t offset) { return t.offset < offset; });
    const int firstIndex = static_cast<int>(first - m_tokens.begin());
    literalBase = static_cast<int>(std::lower_bound(m_literalTokens.begin(), m_literalTokens.end(), firstIndex) -
                                   m_literalTokens.begin());
    // The compiler reads a string's value in two places: an ORDER BY 'name' names a column, and
    // a select list is matched against the GROUP BY expressions as written. Past an ORDER and in
    // a grouped query a string is keyed by its value too.
    bool grouped = false;
    for (auto t = first; t != m_tokens.end() && t->offset < s.endOffset && !grouped; ++t)
        grouped = t->isWord("group");
    bool ordered = false;
    for (auto t = first; t != m_tokens.end() && t->offset < s.endOffset; ++t) {
        if (!t->isLiteral()) {
            ordered = ordered || t->isWord("order");
            key += t->source(m_text);
            key += '\x1f';
            continue;
        }
        // A literal's type decides the plan (a string's length, a number's precision); a
        // number's value too, where it is a CONVERT style, an ORDER BY position or a TOP.
        key += '\x1d';
        key += literalValue(literalKind(t->kind), t->text, t->national).sqlType().display();
        if (t->kind == Token::Kind::Number || grouped || ordered) {
            key += ':';
            key += t->text;
        }
        key += '\x1f';
    }
    return key;
}

} // namespace tsql
