#include "tsql/Ast.h"

namespace tsql::ast {

std::string Column::written() const
{
    std::string s;
    for (std::size_t i = 0; i < parts.size(); ++i)
        s += (i ? "." : "") + parts[i];
    return s;
}

// Out of line, where Query is complete.
In::In() : Expr(Kind::In) {}
In::~In() = default;
Exists::Exists() : Expr(Kind::Exists) {}
Exists::~Exists() = default;
Quantified::Quantified() : Expr(Kind::Quantified) {}
Quantified::~Quantified() = default;
Subquery::Subquery() : Expr(Kind::Subquery) {}
Subquery::~Subquery() = default;
DerivedTable::DerivedTable() : TableRef(Kind::Derived) {}
DerivedTable::~DerivedTable() = default;
QueryBody::QueryBody() = default;
QueryBody::~QueryBody() = default;

QueryBlock &Query::first()
{
    QueryBody *b = body.get();
    for (;;) {
        if (b->kind == QueryBody::Kind::Block)
            return *b->block;
        b = b->kind == QueryBody::Kind::SetOp ? b->left.get() : b->parenthesized->body.get();
    }
}

const QueryBlock &Query::first() const
{
    return const_cast<Query *>(this)->first();
}

} // namespace tsql::ast
