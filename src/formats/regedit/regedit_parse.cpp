// Reading a regedit file line by line as regedit reads it: a line it cannot read is skipped
// and named, with the values under a key line it cannot read, and the rest goes on.
#include <cstdint>
#include <string>

#include "formats/regedit/regedit.h"
#include "formats/regedit/regedit_format.h"
#include "formats/regedit/regedit_lines.h"
#include "text/cp1252.h"

namespace platform::regedit {

namespace {

using namespace format;
using lines::Cursor;
using lines::Utf8;

// A value's name as messages give it.
std::string ValueLabel(const std::u16string* name) {
    if (name == nullptr) return "value";
    if (name->empty()) return "default value (@)";
    return "value \"" + Utf8(*name) + "\"";
}

// Windows-1252 for a text of the file, or why it has none.
std::string ToAnsi(std::u16string_view text, const char* what, std::string* out) {
    bool exact = false;
    *out = cp1252::FromUtf16(text, &exact);
    if (!exact) return std::string(what) + " cannot be held in Windows-1252";
    if (out->find('\0') != std::string::npos) return std::string("NUL character in ") + what;
    return "";
}

// A quoted text at the cursor ('"'): regedit's escapes are \\ and \"; \n and \r stand for line
// breaks as Wine writes them. Leaves the cursor after the closing quote.
std::string Quoted(Cursor* c, std::u16string* out) {
    c->Next();
    while (!c->AtEnd()) {
        const char16_t ch = c->Peek();
        c->Next();
        if (ch == u'"') return "";
        if (ch != u'\\') {
            out->push_back(ch);
            continue;
        }
        if (c->AtEnd()) break;
        const char16_t escaped = c->Peek();
        c->Next();
        if (escaped == u'\\' || escaped == u'"') {
            out->push_back(escaped);
        } else if (escaped == u'n' || escaped == u'r') {
            out->push_back(escaped == u'n' ? u'\n' : u'\r');
        } else {
            return "unknown escape \"\\" + Utf8(std::u16string(1, escaped)) +
                   "\" (a backslash is written \\\\)";
        }
    }
    return "missing closing quote";
}

// Hex data as regedit reads it: bytes of one or two digits between commas, a trailing comma
// allowed; a "\" after a comma (or right after the colon) goes on with the next line that is
// neither blank nor a ";" comment. The states a line can be in when the next character comes:
enum class HexAt { Start, LineStart, AfterComma, AfterByte };
struct HexStep {
    enum { Done, More, Fault } what = Done;
    std::string why;
};

HexStep HexFault(std::string why) {
    return {HexStep::Fault, std::move(why)};
}

// Reads the items of one line, from the cursor on.
HexStep HexLine(Cursor c, HexAt at, std::vector<std::uint8_t>* bytes, bool* keep) {
    while (true) {
        c.SkipBlanks();
        if (c.RestIsEmpty()) {
            *keep = c.CommentIs(kNoTerminator);
            return {};
        }
        if (c.Take(u'\\')) {
            if (at == HexAt::AfterByte) return HexFault("\"\\\" must follow a comma");
            if (at == HexAt::LineStart) return HexFault("expected a hexadecimal byte");
            c.SkipBlanks();
            if (!c.RestIsEmpty()) return HexFault("only a \";\" comment may follow \"\\\"");
            return {HexStep::More, ""};
        }
        if (at == HexAt::AfterByte) {
            if (!c.Take(u',')) return HexFault("expected \",\" between hexadecimal bytes");
            at = HexAt::AfterComma;
            continue;
        }
        int byte = 0;
        int digits = 0;
        for (; digits < 3 && !c.AtEnd() && lines::HexDigit(c.Peek()) >= 0; ++digits) {
            byte = byte * 16 + lines::HexDigit(c.Peek());
            c.Next();
        }
        if (digits == 0) return HexFault("expected a hexadecimal byte");
        if (digits == 3) return HexFault("a byte has at most two hexadecimal digits");
        bytes->push_back(static_cast<std::uint8_t>(byte));
        at = HexAt::AfterByte;
    }
}

class Parser {
  public:
    explicit Parser(const lines::Text& text) : text_(text) {}

    // The entries of every line after the header.
    std::vector<Entry> Run() {
        for (std::size_t index = 1; index < text_.lines.size(); ++index) Line(&index);
        return std::move(entries_);
    }

  private:
    enum class Section {
        None,     // before the first key line
        Key,      // values go to key_
        Deleted,  // after a deleted key: regedit ignores its values
        Skipped,  // under a key that is skipped, which told it already
    };

    static int Number(std::size_t index) { return static_cast<int>(index) + 1; }

    void Skip(int line, std::string reason) {
        Entry entry;
        entry.line = line;
        entry.reason = std::move(reason);
        entries_.push_back(std::move(entry));
    }

    void Line(std::size_t* index) {
        const std::u16string_view line = lines::Trim(text_.lines[*index]);
        if (line.empty() || line.front() == u';' || line.front() == u'#') return;
        if (line.front() == u'[') return KeyLine(Number(*index), line);
        if (line.front() == u'"' || line.front() == u'@') return ValueLine(index);
        Skip(Number(*index), "line skipped: not a [key], a value or a comment");
    }

    void SkipKey(int line, std::u16string_view text, const std::string& why) {
        Skip(line, "key " + Utf8(text) + " skipped with the values under it: " + why);
    }

    void KeyLine(int number, std::u16string_view text) {
        section_ = Section::Skipped;
        const std::size_t close = text.rfind(u']');
        if (close == std::u16string_view::npos) {
            return SkipKey(number, text, "no \"]\" closes the key name");
        }
        if (!Cursor(text.substr(close + 1)).RestIsEmpty()) {
            return SkipKey(number, text, "unexpected text after \"]\"");
        }
        text = text.substr(0, close + 1);
        std::u16string_view name = text.substr(1, close - 1);
        const bool deletion = !name.empty() && name.front() == u'-';
        if (deletion) name.remove_prefix(1);
        const std::size_t slash = name.find(u'\\');
        const std::u16string_view root = name.substr(0, slash);
        switch (RootOf(Utf8(root))) {
            case Root::LocalMachine:
                break;
            case Root::ShortName:
                return SkipKey(
                    number, text,
                    "regedit reads no short root name in a file: write " + std::string(kRoot));
            case Root::Other:
                return Skip(number,
                            "skipped key outside " + std::string(kRoot) + ": " + Utf8(text));
            case Root::Unknown:
                return SkipKey(number, text, "unknown root key \"" + Utf8(root) + "\"");
        }
        std::u16string_view rest =
            slash == std::u16string_view::npos ? u"" : name.substr(slash + 1);
        // Trailing backslashes name the key itself, as the registry functions take them.
        while (!rest.empty() && rest.back() == u'\\') rest.remove_suffix(1);
        Entry entry;
        entry.kind = deletion ? Entry::Kind::DeleteKey : Entry::Kind::CreateKey;
        entry.line = number;
        std::string why = ToAnsi(rest, "key path", &entry.key);
        if (why.empty() && (rest.starts_with(u'\\') || rest.find(u"\\\\") != rest.npos)) {
            why = "empty name in key path";
        }
        if (why.empty() && deletion && rest.empty()) why = "the root key cannot be deleted";
        if (!why.empty()) return SkipKey(number, text, why);
        section_ = deletion ? Section::Deleted : Section::Key;
        key_ = entry.key;
        entries_.push_back(std::move(entry));
    }

    void ValueLine(std::size_t* index) {
        const int number = Number(*index);
        Cursor c(text_.lines[*index]);
        c.SkipBlanks();
        std::u16string name;
        std::string why;
        if (!c.Take(u'@')) why = Quoted(&c, &name);
        const bool named = why.empty();
        c.SkipBlanks();
        if (why.empty() && !c.Take(u'=')) why = "expected \"=\" after the value name";
        Entry entry;
        entry.kind = Entry::Kind::SetValue;
        entry.line = number;
        int faultLine = number;
        // The data first: a value skipped for its name still takes its continued lines.
        if (why.empty()) why = Data(index, c, &entry, &faultLine);
        if (why.empty()) why = ToAnsi(name, "value name", &entry.name);
        if (section_ == Section::Skipped) return;
        const std::string label = ValueLabel(named ? &name : nullptr);
        if (!why.empty()) {
            if (faultLine != number)
                why += ", in hex data continued from line " + std::to_string(number);
            return Skip(faultLine, label + " skipped: " + why);
        }
        if (section_ == Section::None) return Skip(number, label + " skipped: no [key] before it");
        if (section_ == Section::Deleted) return Skip(number, "value after a deleted key ignored");
        entry.key = key_;
        entries_.push_back(std::move(entry));
    }

    // The data after "=": sets kind, type and data, or returns why it cannot be read.
    std::string Data(std::size_t* index, Cursor c, Entry* entry, int* faultLine) {
        c.SkipBlanks();
        if (c.RestIsEmpty()) return "no data after \"=\"";
        if (c.Take(u'-')) {
            entry->kind = Entry::Kind::DeleteValue;
            return c.RestIsEmpty() ? "" : "unexpected text after \"-\"";
        }
        if (c.Is(u'"')) return Text(c, entry);
        if (c.TakeNoCase("dword:")) return Dword(c, entry);
        if (c.TakeNoCase("hex")) return Hex(index, c, entry, faultLine);
        return "expected \"-\", a quoted text, dword: or hex: after \"=\"";
    }

    // A quoted text: REG_SZ, stored with its terminating NUL as regedit stores it.
    static std::string Text(Cursor c, Entry* entry) {
        std::u16string text;
        std::string why = Quoted(&c, &text);
        if (why.empty() && !c.RestIsEmpty()) why = "unexpected text after the closing quote";
        std::string ansi;
        if (why.empty()) why = ToAnsi(text, "text", &ansi);
        if (!why.empty()) return why;
        entry->type = type::kSz;
        entry->data.assign(ansi.begin(), ansi.end());
        entry->data.push_back(0);
        return "";
    }

    static std::string Dword(Cursor c, Entry* entry) {
        c.SkipBlanks();
        std::uint32_t number = 0;
        int digits = 0;
        for (; !c.AtEnd() && lines::HexDigit(c.Peek()) >= 0; ++digits, c.Next()) {
            number = number * 16 + static_cast<std::uint32_t>(lines::HexDigit(c.Peek()));
        }
        if (digits == 0 || digits > 8) return "dword data must be 1 to 8 hexadecimal digits";
        if (!c.RestIsEmpty()) return "unexpected text after the dword data";
        entry->type = type::kDword;
        entry->data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                       static_cast<std::uint8_t>(number >> 16),
                       static_cast<std::uint8_t>(number >> 24)};
        return "";
    }

    // "hex:" or "hex(N):" and its data, which may go on over the next lines.
    std::string Hex(std::size_t* index, Cursor c, Entry* entry, int* faultLine) {
        entry->type = type::kBinary;
        if (c.Take(u'(')) {
            entry->type = 0;
            int digits = 0;
            for (; !c.AtEnd() && lines::HexDigit(c.Peek()) >= 0; ++digits, c.Next()) {
                entry->type =
                    entry->type * 16 + static_cast<std::uint32_t>(lines::HexDigit(c.Peek()));
            }
            if (digits == 0 || digits > 8 || !c.Take(u')')) {
                return "expected hex(N): with N a hexadecimal type number";
            }
        }
        if (!c.Take(u':')) return "expected \":\" after hex";
        bool keep = false;
        HexAt at = HexAt::Start;
        while (true) {
            const HexStep step = HexLine(c, at, &entry->data, &keep);
            if (step.what == HexStep::Fault) {
                *faultLine = Number(*index);
                return step.why;
            }
            if (step.what == HexStep::Done || !NextDataLine(index)) break;
            c = Cursor(text_.lines[*index]);
            at = HexAt::LineStart;
        }
        return IsTextType(entry->type) ? TextData(keep, &entry->data) : "";
    }

    // Moves to the next line that is neither blank nor a ";" comment; false at the end of the
    // file, where regedit keeps the data read so far.
    bool NextDataLine(std::size_t* index) const {
        for (std::size_t next = *index + 1; next < text_.lines.size(); ++next) {
            if (!Cursor(text_.lines[next]).RestIsEmpty()) {
                *index = next;
                return true;
            }
        }
        *index = text_.lines.size() - 1;
        return false;
    }

    // The hex data of a string type: UTF-16LE in a UTF-16 file, held here in Windows-1252; and a
    // text without a terminating NUL gets one, as regedit adds it, unless it is marked to be
    // kept so.
    std::string TextData(bool keep, std::vector<std::uint8_t>* data) const {
        if (text_.utf16) {
            if (data->size() % 2 != 0) return "UTF-16 text data with an odd number of bytes";
            std::u16string units;
            for (std::size_t i = 0; i < data->size(); i += 2) {
                units.push_back(static_cast<char16_t>((*data)[i] | (*data)[i + 1] << 8));
            }
            bool exact = false;
            const std::string ansi = cp1252::FromUtf16(units, &exact);
            if (!exact) return "text data cannot be held in Windows-1252";
            data->assign(ansi.begin(), ansi.end());
        }
        if (!data->empty() && data->back() != 0 && !keep) data->push_back(0);
        return "";
    }

    const lines::Text& text_;
    std::vector<Entry> entries_;
    Section section_ = Section::None;
    std::string key_;
};

bool IsHeader(std::u16string_view line, std::string_view header) {
    return lines::Equals(lines::Trim(line), header);
}

// Windows 3.1's registration files hold HKEY_CLASSES_ROOT entries only: each is skipped here.
std::vector<Entry> Windows31(const lines::Text& text) {
    std::vector<Entry> entries;
    for (std::size_t index = 1; index < text.lines.size(); ++index) {
        if (lines::Trim(text.lines[index]).empty()) continue;
        Entry entry;
        entry.line = static_cast<int>(index) + 1;
        entry.reason =
            "skipped Windows 3.1 entry: such a file holds HKEY_CLASSES_ROOT entries only";
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace

RegFile ParseRegText(std::string_view bytes) {
    RegFile file;
    lines::Text text;
    file.error = lines::Decode(bytes, &text);
    if (!file.error.empty()) return file;
    const std::u16string_view first =
        text.lines.empty() ? std::u16string_view() : std::u16string_view(text.lines[0]);
    if (IsHeader(first, kHeader4) || IsHeader(first, kHeader5)) {
        file.entries = Parser(text).Run();
    } else if (IsHeader(first, kHeader31)) {
        file.entries = Windows31(text);
    } else {
        file.errorLine = 1;
        file.error = "not a registry file: the first line must be \"" + std::string(kHeader4) +
                     "\" or \"" + std::string(kHeader5) + "\"";
    }
    return file;
}

}  // namespace platform::regedit
