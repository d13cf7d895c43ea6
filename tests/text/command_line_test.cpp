#include "text/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::SplitCommandLine;

struct Split {
    const char* line;
    std::string program;
    std::vector<std::string> arguments;
};

void ExpectSplits(const std::vector<Split>& table) {
    for (const Split& row : table) {
        const platform::CommandLine result = SplitCommandLine(row.line);
        EXPECT_EQ(result.program, row.program) << "line: " << row.line;
        EXPECT_EQ(result.arguments, row.arguments) << "line: " << row.line;
    }
}

// The examples Microsoft gives for the C runtime's argument parsing, after a program name.
TEST(CommandLineSplit, ClassicBackslashAndQuoteExamples) {
    ExpectSplits({
        {R"(p "a b c" d e)", "p", {"a b c", "d", "e"}},
        {R"(p "ab\"c" "\\" d)", "p", {R"(ab"c)", R"(\)", "d"}},
        {R"(p a\\\b d"e f"g h)", "p", {R"(a\\\b)", "de fg", "h"}},
        {R"(p a\\\"b c d)", "p", {R"(a\"b)", "c", "d"}},
        {R"(p a\\\\"b c" d e)", "p", {R"(a\\b c)", "d", "e"}},
        {R"(p a"b"" c d)", "p", {R"(ab" c d)"}},
    });
}

TEST(CommandLineSplit, DoubledQuoteInsideQuotesIsLiteralAndStaysQuoted) {
    ExpectSplits({
        {R"(p "a""b" c)", "p", {R"(a"b)", "c"}},
        {R"(p "a"" b" c)", "p", {R"(a" b)", "c"}},
        // Outside quotes "" opens and closes an empty quoted part.
        {R"(p a""b)", "p", {"ab"}},
        {R"(p "" x)", "p", {"", "x"}},
        {R"(p """")", "p", {R"(")"}},
    });
}

TEST(CommandLineSplit, ProgramNameTakesBackslashesLiterallyAndQuotesOnlyGroup) {
    ExpectSplits({
        {R"(C:\AC97Mix\AC97Mixer.exe)", R"(C:\AC97Mix\AC97Mixer.exe)", {}},
        {R"("C:\Program Files\Mix\mix.exe" -x)", R"(C:\Program Files\Mix\mix.exe)", {"-x"}},
        {R"(C:\dir\"x" a)", R"(C:\dir\x)", {"a"}},
        {R"("C:\a b"\c.exe d)", R"(C:\a b\c.exe)", {"d"}},
        {R"(prog\ a)", R"(prog\)", {"a"}},
        {R"("unterminated program a b)", "unterminated program a b", {}},
    });
}

TEST(CommandLineSplit, BlanksSeparateAndAreSkipped) {
    ExpectSplits({
        {"", "", {}},
        {"   \t ", "", {}},
        {"  sndvol32.exe  ", "sndvol32.exe", {}},
        {"rundll32.exe shell32.dll,Control_RunDLL mmsys.cpl",
         "rundll32.exe",
         {"shell32.dll,Control_RunDLL", "mmsys.cpl"}},
        {"p\ta\t\tb", "p", {"a", "b"}},
        {R"(p "a	b")", "p", {"a\tb"}},
        {R"(p "unterminated arg)", "p", {"unterminated arg"}},
        {R"(p trailing\)", "p", {R"(trailing\)"}},
        {R"(p trailing\\")", "p", {R"(trailing\)"}},
    });
}

}  // namespace
