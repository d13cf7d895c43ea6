// A regedit file's text as lines of UTF-16 code units, whichever its encoding, and a cursor
// over one line. Internal to formats/regedit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::regedit::lines {

struct Text {
    std::vector<std::u16string> lines;  // line N is lines[N - 1], without its line break
    bool utf16 = false;  // read from UTF-16LE, so string types' hex data is UTF-16LE too
};

// Splits the bytes into lines at CR LF, CR or LF: UTF-16LE after a byte-order mark, else
// Windows-1252 byte for byte. Returns "" or why the bytes are no text.
std::string Decode(std::string_view bytes, Text* text);

// UTF-8, for messages; a lone surrogate becomes U+FFFD.
std::string Utf8(std::u16string_view text);

// Whether text holds exactly the ASCII characters of ascii.
bool Equals(std::u16string_view text, std::string_view ascii);

// The value of a hexadecimal digit, -1 for any other character.
int HexDigit(char16_t c);

inline bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view text);

class Cursor {
  public:
    explicit Cursor(std::u16string_view line) : line_(line) {}

    bool AtEnd() const { return pos_ >= line_.size(); }
    // The character at the cursor; only when not AtEnd.
    char16_t Peek() const { return line_[pos_]; }
    bool Is(char16_t c) const { return !AtEnd() && Peek() == c; }
    void Next() { ++pos_; }
    // Moves past c when it comes next.
    bool Take(char16_t c);
    // Moves past an ASCII word (given in lower case) when it comes next, in any letter case.
    bool TakeNoCase(std::string_view word);
    void SkipBlanks();
    // Whether nothing but blanks, or blanks and a ";" comment, is left.
    bool RestIsEmpty() const;
    // Whether what is left is blanks and a ";" comment that says exactly text.
    bool CommentIs(std::string_view text) const;
    std::u16string_view Rest() const { return line_.substr(pos_); }

  private:
    std::u16string_view line_;
    std::size_t pos_ = 0;
};

}  // namespace platform::regedit::lines
