#include "text/command_line.h"

#include <cstddef>
#include <utility>

namespace platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

CommandLine SplitCommandLine(std::string_view line) {
    CommandLine result;
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;

    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else {
            result.program += line[i];
        }
        ++i;
    }

    for (;;) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;

        std::string argument;
        quoted = false;
        for (;;) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            bool keep = true;
            if (i < line.size() && line[i] == '"') {
                if (backslashes % 2 == 0) {
                    if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                        ++i;  // "" inside quotes: one literal quote, still quoted
                    } else {
                        keep = false;
                        quoted = !quoted;
                    }
                }
                backslashes /= 2;
            }
            argument.append(backslashes, '\\');
            if (i >= line.size() || (!quoted && IsBlank(line[i]))) break;
            if (keep) argument += line[i];
            ++i;
        }
        result.arguments.push_back(std::move(argument));
    }
    return result;
}

}  // namespace platform
