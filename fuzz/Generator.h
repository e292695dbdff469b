#pragma once
// Structure-aware inputs: the fuzzer's bytes read as a series of choices that build one
// statement of nested expressions from T-SQL's grammar, its functions, its types and the values
// at their edges. Mutating a byte changes one choice, so the fuzzer explores combinations
// (a CASE over a CONVERT of a LIKE inside a REPLICATE...) instead of mostly broken text.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzgen {

std::string statement(const std::uint8_t *data, std::size_t size);

} // namespace fuzzgen
