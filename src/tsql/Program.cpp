#include "tsql/Program.h"

#include "tsql/Errors.h"

#include <map>
#include <string>

namespace tsql {

using namespace ast;

namespace {

class Layout {
public:
    std::vector<Instruction> code;

    void statement(const Statement &s)
    {
        switch (s.kind) {
        case Statement::Kind::Block:
            for (const auto &c : s.as<Block>().statements)
                statement(*c);
            return;
        case Statement::Kind::If: {
            const auto &i = s.as<If>();
            const int test = emit({Instruction::Op::JumpIfNot, nullptr, i.condition.get(), -1, s.line});
            statement(*i.then);
            if (i.otherwise) {
                const int skip = emit({Instruction::Op::Jump, nullptr, nullptr, -1, s.line});
                code[static_cast<std::size_t>(test)].target = here();
                statement(*i.otherwise);
                code[static_cast<std::size_t>(skip)].target = here();
            } else {
                code[static_cast<std::size_t>(test)].target = here();
            }
            return;
        }
        case Statement::Kind::While: {
            const auto &w = s.as<While>();
            const int top = here();
            const int test = emit({Instruction::Op::JumpIfNot, nullptr, w.condition.get(), -1, s.line});
            m_loops.push_back({top, {}});
            statement(*w.body);
            emit({Instruction::Op::Jump, nullptr, nullptr, top, s.line});
            const int end = here();
            code[static_cast<std::size_t>(test)].target = end;
            for (int b : m_loops.back().breaks)
                code[static_cast<std::size_t>(b)].target = end;
            m_loops.pop_back();
            return;
        }
        case Statement::Kind::Break:
        case Statement::Kind::Continue: {
            if (m_loops.empty())
                throw err::make(135, s.kind == Statement::Kind::Break ? "BREAK" : "CONTINUE").atLine(s.line);
            if (s.kind == Statement::Kind::Continue) {
                emit({Instruction::Op::Jump, nullptr, nullptr, m_loops.back().top, s.line});
            } else {
                m_loops.back().breaks.push_back(emit({Instruction::Op::Jump, nullptr, nullptr, -1, s.line}));
            }
            return;
        }
        case Statement::Kind::TryCatch: {
            const auto &t = s.as<TryCatch>();
            const int begin = emit({Instruction::Op::TryBegin, nullptr, nullptr, -1, s.line});
            for (const auto &c : t.tryBlock)
                statement(*c);
            const int end = emit({Instruction::Op::TryEnd, nullptr, nullptr, -1, s.line});
            code[static_cast<std::size_t>(begin)].target = here();
            for (const auto &c : t.catchBlock)
                statement(*c);
            emit({Instruction::Op::CatchEnd, nullptr, nullptr, -1, s.line});
            code[static_cast<std::size_t>(end)].target = here();
            return;
        }
        case Statement::Kind::Goto:
            m_gotos.push_back(emit({Instruction::Op::Jump, &s, nullptr, -1, s.line}));
            return;
        case Statement::Kind::Label: {
            const std::string &name = s.as<Goto>().label;
            if (m_labels.count(name))
                throw err::make(132, name).atLine(s.line);
            m_labels[name] = here();
            return;
        }
        case Statement::Kind::Return:
            emit({Instruction::Op::Return, &s, nullptr, -1, s.line});
            return;
        case Statement::Kind::Empty:
            return;
        default:
            emit({Instruction::Op::Run, &s, nullptr, -1, s.line});
        }
    }

    void resolveGotos()
    {
        for (int g : m_gotos) {
            Instruction &i = code[static_cast<std::size_t>(g)];
            const std::string &label = i.statement->as<Goto>().label;
            const auto it = m_labels.find(label);
            if (it == m_labels.end())
                throw err::make(133, label).atLine(i.line);
            i.target = it->second;
            i.statement = nullptr;
        }
    }

private:
    int here() const { return static_cast<int>(code.size()); }
    int emit(Instruction i)
    {
        code.push_back(i);
        return here() - 1;
    }
    struct Loop {
        int top;
        std::vector<int> breaks;
    };
    std::vector<Loop> m_loops;
    std::vector<int> m_gotos;
    std::map<std::string, int> m_labels;
};

} // namespace

std::vector<Instruction> layOut(const Batch &batch)
{
    Layout l;
    for (const auto &s : batch.statements)
        l.statement(*s);
    l.resolveGotos();
    return std::move(l.code);
}

} // namespace tsql
