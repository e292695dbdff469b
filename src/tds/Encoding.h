#pragma once
// Text as it crosses the wire: the engine holds UTF-8, the protocol carries UTF-16LE for names,
// statements and nvarchar, and code page 1252 for varchar under the server's collation.

#include <string>
#include <string_view>

namespace tds {

// Invalid UTF-8 becomes U+FFFD rather than failing: a value the engine holds must always go out.
std::string utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD; an odd trailing byte is dropped.
std::string utf16ToUtf8(std::string_view utf16le);
// Characters code page 1252 cannot hold become '?', as SQL Server converts them.
std::string utf8ToCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view bytes);

} // namespace tds
