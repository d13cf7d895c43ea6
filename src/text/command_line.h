// Splits a Windows command line into the program and its arguments by the rules of the
// Microsoft C runtime (the same as CommandLineToArgvW for everything after the program):
//  - the program name runs to the first blank outside double quotes; quotes in it only
//    group, and backslashes are taken literally (a file name cannot hold a quote);
//  - in arguments, 2n backslashes before a quote give n backslashes and the quote opens or
//    closes a quoted part; 2n+1 backslashes before a quote give n backslashes and a literal
//    quote; backslashes before anything else are literal;
//  - inside a quoted part, "" gives one literal quote and the part stays open (the runtime's
//    rule since 2008; the older one closed the part).
// Blanks are spaces and tabs. Leading blanks before the program are skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct CommandLine {
    std::string program;
    std::vector<std::string> arguments;
};

CommandLine SplitCommandLine(std::string_view line);

}  // namespace platform
