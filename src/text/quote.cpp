#include "text/quote.h"

namespace platform {

namespace {

std::string Quote(std::string_view text, bool oneLine) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted.push_back('\\');
        if (oneLine && c == '\n') {
            quoted += "\\n";
        } else if (oneLine && c == '\r') {
            quoted += "\\r";
        } else {
            quoted.push_back(c);
        }
    }
    quoted.push_back('"');
    return quoted;
}

}  // namespace

std::string Quoted(std::string_view text) {
    return Quote(text, false);
}

std::string QuotedOnOneLine(std::string_view text) {
    return Quote(text, true);
}

}  // namespace platform
