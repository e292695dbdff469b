#include "Log.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace server {

void logLine(Priority priority, std::string_view text)
{
    static const bool journal = std::getenv("JOURNAL_STREAM") != nullptr;
    static std::mutex mutex;
    std::string line;
    if (journal)
        line = "<" + std::to_string(static_cast<int>(priority)) + ">";
    line.append(text);
    line.push_back('\n');
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

namespace {

bool matchesWordAt(std::string_view s, std::size_t at, std::string_view word)
{
    if (at + word.size() > s.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[at + i])) != word[i])
            return false;
    return true;
}

} // namespace

std::string loggableStatement(std::string_view text, std::size_t limit)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (matchesWordAt(text, i, "PASSWORD")) {
            std::size_t j = i + 8;
            while (j < text.size() && std::isspace(static_cast<unsigned char>(text[j])))
                ++j;
            if (j < text.size() && text[j] == '=') {
                ++j;
                while (j < text.size() && std::isspace(static_cast<unsigned char>(text[j])))
                    ++j;
                if (j < text.size() && (text[j] == 'N' || text[j] == 'n') && j + 1 < text.size() && text[j + 1] == '\'')
                    ++j;
                if (j < text.size() && text[j] == '\'') {
                    // Skip the literal, doubled quotes included.
                    std::size_t k = j + 1;
                    while (k < text.size()) {
                        if (text[k] == '\'' && k + 1 < text.size() && text[k + 1] == '\'')
                            k += 2;
                        else if (text[k] == '\'')
                            break;
                        else
                            ++k;
                    }
                    out += "PASSWORD = '***'";
                    i = k;
                    continue;
                }
            }
        }
        const char c = text[i];
        out.push_back(c == '\n' || c == '\r' || c == '\t' ? ' ' : c);
    }
    if (out.size() > limit) {
        out.resize(limit);
        out += "...";
    }
    return out;
}

} // namespace server
