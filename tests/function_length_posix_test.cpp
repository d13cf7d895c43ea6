// No function in src/ runs over 80 lines, from the first line of its definition to its closing
// brace: a longer one is split into steps that each say what they do, or its cases go into a
// table. The definitions are found by their braces in the formatted source, with comments,
// texts and preprocessor lines blanked first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kMostLines = 80;

struct Function {
    std::string head;  // the definition up to its opening brace, blanks folded
    int line = 0;      // of the head's first character
    int lines = 0;     // from there to the closing brace, both counted
};

bool IsWord(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Blanks [from, to) but its line breaks, so that line numbers stay.
void Blank(std::string& text, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < text.size(); ++i) {
        if (text[i] != '\n') text[i] = ' ';
    }
}

// A quote that separates a number's digits (1'000) rather than opening a character.
bool DigitSeparator(const std::string& text, std::size_t quote) {
    std::size_t start = quote;
    while (start > 0 && (IsWord(text[start - 1]) || text[start - 1] == '\'')) --start;
    return start < quote && std::isdigit(static_cast<unsigned char>(text[start]));
}

// R"delimiter(...)delimiter", with or without an encoding prefix (u8R"(...)").
bool RawTextAt(const std::string& text, std::size_t at) {
    if (text.compare(at, 2, "R\"") != 0) return false;
    std::size_t start = at;
    while (start > 0 && IsWord(text[start - 1])) --start;
    const std::string prefix = text.substr(start, at - start);
    return prefix.empty() || prefix == "u8" || prefix == "u" || prefix == "U" || prefix == "L";
}

// The end of the text or character literal opening at `at`, raw texts included.
std::size_t LiteralEnd(const std::string& text, std::size_t at) {
    if (text[at] == 'R') {
        const std::size_t open = text.find('(', at);
        const std::string close = ")" + text.substr(at + 2, open - at - 2) + "\"";
        const std::size_t end = text.find(close, open);
        return end == std::string::npos ? text.size() : end + close.size();
    }
    std::size_t i = at + 1;
    while (i < text.size() && text[i] != text[at]) i += text[i] == '\\' ? 2 : 1;
    return std::min(i + 1, text.size());
}

// The source with comments, literals and preprocessor lines blanked.
std::string CodeOnly(std::string text) {
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        std::size_t end = i;
        if (text.compare(i, 2, "//") == 0) {
            end = text.find('\n', i);
        } else if (text.compare(i, 2, "/*") == 0) {
            end = text.find("*/", i + 2);
            if (end != std::string::npos) end += 2;
        } else if (c == '#' && lineStart) {
            end = i;
            do {
                end = text.find('\n', end + 1);
            } while (end != std::string::npos && text[end - 1] == '\\');
        } else if (RawTextAt(text, i) || c == '"' || (c == '\'' && !DigitSeparator(text, i))) {
            end = LiteralEnd(text, i);
            Blank(text, i + 1, end - 1);
            i = end;
            lineStart = false;
            continue;
        }
        if (end != i) {
            end = std::min(end, text.size());
            Blank(text, i, end);
            i = end;
            continue;
        }
        if (c == '\n')
            lineStart = true;
        else if (c != ' ' && c != '\t')
            lineStart = false;
        ++i;
    }
    return text;
}

std::string Folded(std::string_view text) {
    std::string folded;
    std::istringstream words{std::string(text)};
    for (std::string word; words >> word;) folded += (folded.empty() ? "" : " ") + word;
    return folded;
}

bool StartsWithWord(const std::string& text, std::string_view word) {
    return text.compare(0, word.size(), word) == 0 &&
           (text.size() == word.size() || !IsWord(text[word.size()]));
}

// What a brace outside any function opens, by what stands before it since the last ; { or }.
enum class Opens { Scope, Function, Initializer, Other };

Opens Classify(std::string head) {
    if (StartsWithWord(head, "template")) {
        // template <...> is followed by what it makes.
        int depth = 0;
        std::size_t i = head.find('<');
        for (; i < head.size(); ++i) {
            depth += head[i] == '<' ? 1 : head[i] == '>' ? -1 : 0;
            if (depth == 0) break;
        }
        head = i < head.size() ? Folded(head.substr(i + 1)) : "";
    }
    for (const char* scope : {"namespace", "class", "struct", "union", "enum", "extern"}) {
        if (StartsWithWord(head, scope) && head.find('(') == std::string::npos) return Opens::Scope;
    }
    const std::size_t paren = head.find('(');
    // A variable's initializer (a table) has its = before any parenthesis.
    if (paren == std::string::npos || head.substr(0, paren).find('=') != std::string::npos) {
        return Opens::Other;
    }
    // A constructor's member given in braces, before its body: Foo() : member_{...} {
    if (head.find(") :") != std::string::npos && IsWord(head.back())) return Opens::Initializer;
    return Opens::Function;
}

std::vector<Function> Functions(const std::string& source) {
    const std::string code = CodeOnly(source);
    struct Open {
        Opens what;
        Function function;
    };
    std::vector<Open> open;
    std::vector<Function> found;
    std::size_t headStart = 0;
    int line = 1;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '\n') ++line;
        if (c != ';' && c != '{' && c != '}') continue;
        if (c == '{') {
            Function function;
            function.head = Folded(std::string_view(code).substr(headStart, i - headStart));
            std::size_t first = headStart;
            while (first < i && std::isspace(static_cast<unsigned char>(code[first]))) ++first;
            function.line =
                line - static_cast<int>(std::count(code.begin() + first, code.begin() + i, '\n'));
            const bool atScope = open.empty() || open.back().what == Opens::Scope;
            open.push_back({atScope ? Classify(function.head) : Opens::Other, function});
        } else if (c == '}' && !open.empty()) {
            Open closed = open.back();
            open.pop_back();
            if (closed.what == Opens::Function) {
                closed.function.lines = line - closed.function.line + 1;
                found.push_back(closed.function);
            }
            // The definition goes on after a member's braces.
            if (closed.what == Opens::Initializer) continue;
        }
        if (open.empty() || open.back().what != Opens::Initializer) headStart = i + 1;
    }
    return found;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FunctionLength, TheCounterFindsDefinitionsAndTheirLines) {
    const std::string source =
        "namespace a {\n"                                // 1
        "const int kTable[] = {1, 2,\n"                  // 2
        "                      3};\n"                    // 3
        "// void Commented() {\n"                        // 4
        "class B {\n"                                    // 5
        "    int Inline() const { return 1; }\n"         // 6
        "};\n"                                           // 7
        "template <class T>\n"                           // 8
        "T Long(T t) {\n"                                // 9
        "    const char* s = \"{ not a brace\";\n"       // 10
        "    const char c = '}';\n"                      // 11
        "    auto f = [] { return u8R\"x({\")x\"; };\n"  // 12
        "    if (t) {\n"                                 // 13
        "#define BRACE {\n"                              // 14
        "        return t;\n"                            // 15
        "    }\n"                                        // 16
        "    return 1'000;\n"                            // 17
        "}\n"                                            // 18
        "B::B(int a)\n"                                  // 19
        "    : a_{a}, b_{u'{'} {}\n"                     // 20
        "}  // namespace a\n";                           // 21
    const auto functions = Functions(source);
    ASSERT_EQ(functions.size(), 3u);
    EXPECT_EQ(functions[0].head, "int Inline() const");
    EXPECT_EQ(functions[0].line, 6);
    EXPECT_EQ(functions[0].lines, 1);
    EXPECT_EQ(functions[1].head, "template <class T> T Long(T t)");
    EXPECT_EQ(functions[1].line, 8);
    EXPECT_EQ(functions[1].lines, 11);
    EXPECT_EQ(functions[2].head, "B::B(int a) : a_{a}, b_{u' '}");
    EXPECT_EQ(functions[2].line, 19);
    EXPECT_EQ(functions[2].lines, 2);
}

TEST(FunctionLength, NoFunctionInTheSourcesIsLongerThan80Lines) {
    const fs::path root = fs::path(CALVENOR_SOURCE_DIR) / "src";
    int files = 0;
    std::size_t functions = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h")) continue;
        ++files;
        for (const Function& function : Functions(Read(entry.path()))) {
            ++functions;
            EXPECT_LE(function.lines, kMostLines)
                << fs::relative(entry.path(), root).generic_string() << ":" << function.line << ": "
                << function.head << " is " << function.lines << " lines";
        }
    }
    EXPECT_GT(files, 100) << "the sources were not found under " << root;
    EXPECT_GT(functions, 500u) << "the definitions were not found";
}

}  // namespace
