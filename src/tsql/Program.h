#pragma once
// A batch's control flow laid out flat: IF, WHILE, BEGIN ... END, TRY ... CATCH, GOTO, BREAK,
// CONTINUE and RETURN become jumps over a list of statements, so that the batch can stop after
// any statement (a result set for the caller to read) and go on from there.

#include "tsql/AstStatements.h"

#include <vector>

namespace tsql {

struct Instruction {
    enum class Op {
        Run,       // run `statement`
        Jump,      // go to `target`
        JumpIfNot, // evaluate `condition`; go to `target` unless it is true
        TryBegin,  // errors from here go to `target` (the CATCH block)
        TryEnd,    // the TRY block ended without an error: leave it, go to `target`
        CatchEnd,  // the CATCH block ended
        Return,    // RETURN [value]
    };
    Op op = Op::Run;
    const ast::Statement *statement = nullptr;
    const ast::Expr *condition = nullptr;
    int target = -1;
    int line = 1;
};

// Throws 133 for a GOTO to a label that does not exist, 132 for a label defined twice.
std::vector<Instruction> layOut(const ast::Batch &batch);

} // namespace tsql
