// Reading regedit files as regedit reads them, one rule a group: each case is a file's body,
// read after a "REGEDIT4" header and again as a UTF-16 file after the 5.00 header, and the
// entries it must give (keys, values with their type and bytes, and skipped lines with their
// number and reason) in both.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "formats/regedit/regedit.h"
#include "text/cp1252.h"

namespace {

using namespace platform;
using regedit::Entry;

// An entry in a line of text: "[KEY]" and "[-KEY]" for keys, "KEY\NAME=T:DATA" for a value of
// type T (DATA quoted for the string types, hex bytes for the others), "KEY\NAME=-" for a
// deletion, "LINE: REASON" for a skipped entry.
std::string Describe(const Entry& entry) {
    switch (entry.kind) {
        case Entry::Kind::CreateKey:
            return "[" + entry.key + "]";
        case Entry::Kind::DeleteKey:
            return "[-" + entry.key + "]";
        case Entry::Kind::DeleteValue:
            return entry.key + "\\" + entry.name + "=-";
        case Entry::Kind::Skipped:
            return std::to_string(entry.line) + ": " + entry.reason;
        case Entry::Kind::SetValue:
            break;
    }
    char type[16];
    std::snprintf(type, sizeof type, "%x:", static_cast<unsigned>(entry.type));
    std::string data;
    const bool text = entry.type == 1 || entry.type == 2 || entry.type == 7;
    for (const std::uint8_t byte : entry.data) {
        char item[8];
        if (text) {
            std::snprintf(item, sizeof item, byte == 0 ? "\\0" : "%c", byte);
        } else {
            std::snprintf(item, sizeof item, "%s%02x", data.empty() ? "" : ",", byte);
        }
        data += item;
    }
    return entry.key + "\\" + entry.name + "=" + type + (text ? "\"" + data + "\"" : data);
}

std::vector<std::string> Describe(const regedit::RegFile& file) {
    std::vector<std::string> out;
    if (!file.error.empty())
        out.push_back("refused " + std::to_string(file.errorLine) + ": " + file.error);
    for (const Entry& entry : file.entries) out.push_back(Describe(entry));
    return out;
}

// UTF-16LE with a byte-order mark, from Windows-1252 text.
std::string Utf16(const std::string& text) {
    std::string out = "\xFF\xFE";
    for (const char c : text) {
        const char16_t unit = cp1252::ToUnicode(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

std::vector<std::string> Read4(const std::string& body) {
    return Describe(regedit::ParseRegText("REGEDIT4\r\n" + body));
}

std::vector<std::string> Read5(const std::string& body) {
    return Describe(
        regedit::ParseRegText(Utf16("Windows Registry Editor Version 5.00\r\n" + body)));
}

struct Case {
    const char* rule;
    std::string body;  // after the header: line 2 on
    std::vector<std::string> entries;
    // The body of the UTF-16 file when it differs: there the string types' hex data is UTF-16.
    std::string body5 = "";
};

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(Read4(c.body), c.entries) << "REGEDIT4: " << c.rule << "\n" << c.body;
        const std::string body5 = c.body5.empty() ? c.body : c.body5;
        EXPECT_EQ(Read5(body5), c.entries) << "5.00: " << c.rule << "\n" << body5;
    }
}

const char* const kStray = "line skipped: not a [key], a value or a comment";

TEST(RegeditRead, CommentsBlanksAndWhitespace) {
    Check({
        {"; and # start comments, indented or not, a trailing backslash included",
         "# hash\\\n;semicolon\\\n  # indented\n\t; tabbed\n[HKEY_LOCAL_MACHINE\\T]\n"
         "#\"Gain\"=dword:1\n\"Level\"=dword:2\n",
         {"[T]", "T\\Level=4:02,00,00,00"}},
        {"blank lines and lines of blanks stand anywhere",
         "\n  \n[HKEY_LOCAL_MACHINE\\T]\n\t\n\n\"Level\"=dword:3\n \t \n",
         {"[T]", "T\\Level=4:03,00,00,00"}},
        {"blanks before key and value lines, around = and after the data",
         "  \t[HKEY_LOCAL_MACHINE\\T]\n\t  \"A\"\t =  \t\"x\"  \t\n  @ = dword:\t 0000000a\t\n",
         {"[T]", "T\\A=1:\"x\\0\"", "T\\=4:0a,00,00,00"}},
        {"blanks inside quotes are kept",
         "[HKEY_LOCAL_MACHINE\\T]\n\"  Mixer path \"=\"\tC:\\\\A3D  \"\n",
         {"[T]", "T\\  Mixer path =1:\"\tC:\\A3D  \\0\""}},
        {"after the data, a ; comment is read past and a # comment is not",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=\"x\";c\n\"B\"=\"x\"  # c\n\"C\"=dword:1;2\n"
         "\"D\"=dword:1 #2\n\"E\"=hex:01  ;c\n\"F\"=hex:01\t#c\n\"G\"=- ;c\n\"H\"=- #c\n"
         "\"I\"=\";not a comment #\"\n",
         {"[T]", "T\\A=1:\"x\\0\"",
          "4: value \"B\" skipped: unexpected text after the closing quote", "T\\C=4:01,00,00,00",
          "6: value \"D\" skipped: unexpected text after the dword data", "T\\E=3:01",
          "8: value \"F\" skipped: expected \",\" between hexadecimal bytes", "T\\G=-",
          "10: value \"H\" skipped: unexpected text after \"-\"",
          "T\\I=1:\";not a comment #\\0\""}},
        {"a line that is no key, value or comment is skipped and named",
         "[HKEY_LOCAL_MACHINE\\T]\nLevel=dword:1\n  01,02\n\"A\"=dword:1\n",
         {"[T]", std::string("3: ") + kStray, std::string("4: ") + kStray, "T\\A=4:01,00,00,00"}},
    });
}

TEST(RegeditRead, KeyLines) {
    Check({
        {"a key and a deleted key, the root named in any letter case",
         "[hkey_local_machine\\SOFTWARE\\A]\n[-HKEY_Local_Machine\\SOFTWARE\\B]\n",
         {"[SOFTWARE\\A]", "[-SOFTWARE\\B]"}},
        {"trailing backslashes name the key itself",
         "[HKEY_LOCAL_MACHINE\\T\\]\n\"A\"=dword:1\n[HKEY_LOCAL_MACHINE\\T\\U\\\\\\]\n",
         {"[T]", "T\\A=4:01,00,00,00", "[T\\U]"}},
        {"blanks inside the brackets belong to the name",
         "[HKEY_LOCAL_MACHINE\\T\\Sub \t]\n",
         {"[T\\Sub \t]"}},
        {"brackets in a name: the last ] closes it; a ; comment may follow",
         "[HKEY_LOCAL_MACHINE\\T\\[1]]  ; note\n",
         {"[T\\[1]]"}},
        {"the root itself takes values",
         "[HKEY_LOCAL_MACHINE]\n\"A\"=dword:1\n[HKEY_LOCAL_MACHINE\\]\n",
         {"[]", "\\A=4:01,00,00,00", "[]"}},
        {"values after a deleted key are ignored, and named",
         "[-HKEY_LOCAL_MACHINE\\T]\n\"A\"=dword:1\n@=-\n",
         {"[-T]", "3: value after a deleted key ignored", "4: value after a deleted key ignored"}},
        {"a key under another root is named, its values skipped with it",
         "[HKEY_CURRENT_USER\\Software]\n\"A\"=dword:1\n\"B\"=bogus\n[-HKEY_USERS\\.DEFAULT]\n"
         "[HKEY_LOCAL_MACHINE\\T]\n\"C\"=dword:1\n",
         {"2: skipped key outside HKEY_LOCAL_MACHINE: [HKEY_CURRENT_USER\\Software]",
          "5: skipped key outside HKEY_LOCAL_MACHINE: [-HKEY_USERS\\.DEFAULT]", "[T]",
          "T\\C=4:01,00,00,00"}},
        {"regedit reads no short root name in a file",
         "[HKLM\\T]\n\"A\"=dword:1\n",
         {"2: key [HKLM\\T] skipped with the values under it: regedit reads no short root name "
          "in a file: write HKEY_LOCAL_MACHINE"}},
        {"a key line regedit cannot read is skipped with its values, which go nowhere else",
         "[HKEY_LOCAL_MACHINE\\T]\n[ HKEY_LOCAL_MACHINE\\T\\A]\n\"A\"=dword:1\n"
         "[- HKEY_LOCAL_MACHINE\\T]\n[HKEY_LOCAL_MACHINES\\T]\n[HKEY_LOCAL_MACHINE\\T\\\\B]\n"
         "[\\T]\n[HKEY_LOCAL_MACHINE\\T\n[HKEY_LOCAL_MACHINE\\T] x\n[-HKEY_LOCAL_MACHINE]\n"
         "\"B\"=dword:2\n",
         {"[T]",
          "3: key [ HKEY_LOCAL_MACHINE\\T\\A] skipped with the values under it: unknown root key "
          "\" HKEY_LOCAL_MACHINE\"",
          "5: key [- HKEY_LOCAL_MACHINE\\T] skipped with the values under it: unknown root key "
          "\" HKEY_LOCAL_MACHINE\"",
          "6: key [HKEY_LOCAL_MACHINES\\T] skipped with the values under it: unknown root key "
          "\"HKEY_LOCAL_MACHINES\"",
          "7: key [HKEY_LOCAL_MACHINE\\T\\\\B] skipped with the values under it: empty name in key "
          "path",
          "8: key [\\T] skipped with the values under it: unknown root key \"\"",
          "9: key [HKEY_LOCAL_MACHINE\\T skipped with the values under it: no \"]\" closes the key "
          "name",
          "10: key [HKEY_LOCAL_MACHINE\\T] x skipped with the values under it: unexpected text "
          "after \"]\"",
          "11: key [-HKEY_LOCAL_MACHINE] skipped with the values under it: the root key cannot be "
          "deleted"}},
        {"a key name is not continued on the next line",
         "[HKEY_LOCAL_MACHINE\\T\\\nSub]\n",
         {"2: key [HKEY_LOCAL_MACHINE\\T\\ skipped with the values under it: no \"]\" closes the "
          "key name",
          std::string("3: ") + kStray}},
    });
}

TEST(RegeditRead, ValueNamesAndTexts) {
    Check({
        {"@ and \"\" name the default value",
         "[HKEY_LOCAL_MACHINE\\T]\n@=\"one\"\n\"\"=\"two\"\n\"@\"=\"three\"\n",
         {"[T]", "T\\=1:\"one\\0\"", "T\\=1:\"two\\0\"", "T\\@=1:\"three\\0\""}},
        {"\\\\ and \\\" are the escapes of names and texts; \\n and \\r are line breaks",
         "[HKEY_LOCAL_MACHINE\\T]\n\"a\\\\b \\\"c\\\"\"=\"C:\\\\Tools\\\\\"\n\"Two\"=\"1\\n2\\r\"\n"
         "\"=;/'\"=\"\"\n",
         {"[T]", "T\\a\\b \"c\"=1:\"C:\\Tools\\\\0\"", "T\\Two=1:\"1\n2\r\\0\"",
          "T\\=;/'=1:\"\\0\""}},
        {"another escape is refused, so that a hand-typed C:\\0ld is not cut short",
         "[HKEY_LOCAL_MACHINE\\T]\n\"Path\"=\"C:\\0ld\"\n\"Tab\"=\"a\\tb\"\n\"Na\\me\"=\"x\"\n",
         {"[T]", "3: value \"Path\" skipped: unknown escape \"\\0\" (a backslash is written \\\\)",
          "4: value \"Tab\" skipped: unknown escape \"\\t\" (a backslash is written \\\\)",
          "5: value skipped: unknown escape \"\\m\" (a backslash is written \\\\)"}},
        {"a quoted text is one line, closed once, and something follows =",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=\"open\n\"B\"=\"one\"two\"\n\"C\"=\"one\"\"two\"\n"
         "\"D\"=\n\"E\"=  ;c\n\"F\"=text\n\"G\" \"x\"\n\"H=\"x\"\n\"I\"=\"two\\\nlines\"\n",
         {"[T]", "3: value \"A\" skipped: missing closing quote",
          "4: value \"B\" skipped: unexpected text after the closing quote",
          "5: value \"C\" skipped: unexpected text after the closing quote",
          "6: value \"D\" skipped: no data after \"=\"",
          "7: value \"E\" skipped: no data after \"=\"",
          "8: value \"F\" skipped: expected \"-\", a quoted text, dword: or hex: after \"=\"",
          "9: value \"G\" skipped: expected \"=\" after the value name",
          "10: value \"H=\" skipped: expected \"=\" after the value name",
          "11: value \"I\" skipped: missing closing quote", std::string("12: ") + kStray}},
        {"a value before the first key goes nowhere",
         "\"A\"=dword:1\n@=-\n[HKEY_LOCAL_MACHINE\\T]\n",
         {"2: value \"A\" skipped: no [key] before it",
          "3: default value (@) skipped: no [key] before it", "[T]"}},
        {"= - deletes a value; anything else after - is skipped",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=-\n\"B\"= \t-\t \n\"C\"=-\"x\"\n",
         {"[T]", "T\\A=-", "T\\B=-", "5: value \"C\" skipped: unexpected text after \"-\""}},
    });
}

TEST(RegeditRead, Dwords) {
    const char* const kDigits = "skipped: dword data must be 1 to 8 hexadecimal digits";
    Check({
        {"1 to 8 digits in either case, blanks after the colon, dword: in any case",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=dword:1\n\"B\"=dword:  aBcDeF01\n\"C\"=DWORD:\t00000100\n",
         {"[T]", "T\\A=4:01,00,00,00", "T\\B=4:01,ef,cd,ab", "T\\C=4:00,01,00,00"}},
        {"no digit, nine digits (leading zeros too), 0x, blanks inside, text after",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=dword:\n\"B\"=dword:000000001\n\"C\"=dword:0x10\n"
         "\"D\"=dword:12 34\n\"E\"=dword:12345678z\n\"F\"=dword:1\\\n",
         {"[T]", std::string("3: value \"A\" ") + kDigits, std::string("4: value \"B\" ") + kDigits,
          "5: value \"C\" skipped: unexpected text after the dword data",
          "6: value \"D\" skipped: unexpected text after the dword data",
          "7: value \"E\" skipped: unexpected text after the dword data",
          "8: value \"F\" skipped: unexpected text after the dword data"}},
    });
}

TEST(RegeditRead, HexTypesAndBytes) {
    Check({
        {"hex: is REG_BINARY, hex(N): type N of 1 to 8 hexadecimal digits",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:0a,FF\n\"B\"=hex(0):1\n\"C\"=HEX(4):01,02,03,04\n"
         "\"D\"=hex(b):1,2,3,4,5,6,7,8\n\"E\"=hex(ffffffff):01\n\"F\"=hex(3):\n\"G\"=hex:\n",
         {"[T]", "T\\A=3:0a,ff", "T\\B=0:01", "T\\C=4:01,02,03,04",
          "T\\D=b:01,02,03,04,05,06,07,08", "T\\E=ffffffff:01", "T\\F=3:", "T\\G=3:"}},
        {"type numbers and bytes regedit refuses",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(100000000):01\n\"B\"=hex(0x2):01\n\"C\"=hex():01\n"
         "\"D\"=hex(2:01\n\"E\"=hex 01\n\"F\"=hex:100\n\"G\"=hex:01,,02\n\"H\"=hex:,01\n"
         "\"I\"=hex:01 02\n\"J\"=hex:0g\n\"K\"=hex:01/\n",
         {"[T]", "3: value \"A\" skipped: expected hex(N): with N a hexadecimal type number",
          "4: value \"B\" skipped: expected hex(N): with N a hexadecimal type number",
          "5: value \"C\" skipped: expected hex(N): with N a hexadecimal type number",
          "6: value \"D\" skipped: expected hex(N): with N a hexadecimal type number",
          "7: value \"E\" skipped: expected \":\" after hex",
          "8: value \"F\" skipped: a byte has at most two hexadecimal digits",
          "9: value \"G\" skipped: expected a hexadecimal byte",
          "10: value \"H\" skipped: expected a hexadecimal byte",
          "11: value \"I\" skipped: expected \",\" between hexadecimal bytes",
          "12: value \"J\" skipped: expected \",\" between hexadecimal bytes",
          "13: value \"K\" skipped: expected \",\" between hexadecimal bytes"}},
        {"blanks around bytes and commas, and one trailing comma",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex: 01 , 02 ,\t03,\n",
         {"[T]", "T\\A=3:01,02,03"}},
    });
}

TEST(RegeditRead, HexDataContinuedOverLines) {
    Check({
        {"a \\ after a comma goes on with the next line; blanks and a ; comment may follow it",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,\\\n  02,  \\  ; c\n\t03\n\"B\"=hex:\\\n  04\n",
         {"[T]", "T\\A=3:01,02,03", "T\\B=3:04"}},
        {"blank lines and ; comment lines between the continued lines are read past",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,\\\n\n; c\n  \t\n  ;c\n  02\n\"B\"=dword:1\n",
         {"[T]", "T\\A=3:01,02", "T\\B=4:01,00,00,00"}},
        {"a line without \\ ends the data, a trailing comma too",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,\\\n  02,\n  03\n",
         {"[T]", "T\\A=3:01,02", std::string("5: ") + kStray}},
        {"a \\ right after a byte skips the value, and the next line is read as a line of its own",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,02\\\n\"B\"=dword:1\n\"C\"=hex:01  \\  ;c\n"
         "[HKEY_LOCAL_MACHINE\\T\\U]\n\"D\"=hex:01,0\\\n  2\n",
         {"[T]", "3: value \"A\" skipped: \"\\\" must follow a comma", "T\\B=4:01,00,00,00",
          "5: value \"C\" skipped: \"\\\" must follow a comma", "[T\\U]",
          "7: value \"D\" skipped: \"\\\" must follow a comma", std::string("8: ") + kStray}},
        {"after \\ the next line is data, whatever it holds: a value, a key or a # comment",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,\\\n\"B\"=dword:1\n\"C\"=hex:01,\\\n"
         "[HKEY_LOCAL_MACHINE\\T\\U]\n\"D\"=hex:01,\\\n# c\n\"E\"=dword:5\n",
         {"[T]",
          "4: value \"A\" skipped: expected a hexadecimal byte, in hex data continued from line 3",
          "6: value \"C\" skipped: expected a hexadecimal byte, in hex data continued from line 5",
          "8: value \"D\" skipped: expected a hexadecimal byte, in hex data continued from line 7",
          "T\\E=4:05,00,00,00"}},
        {"a continued line starts with a byte: not a comma, not a lone \\",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,\\\n  ,02\n\"B\"=hex:01,\\\n\\\n  02\n"
         "\"C\"=hex:01,\\\n  \\\n",
         {"[T]",
          "4: value \"A\" skipped: expected a hexadecimal byte, in hex data continued from line 3",
          "6: value \"B\" skipped: expected a hexadecimal byte, in hex data continued from line 5",
          std::string("7: ") + kStray,
          "9: value \"C\" skipped: expected a hexadecimal byte, in hex data continued from line "
          "8"}},
        {"only blanks and a ; comment may follow \\",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,\\02\n\"B\"=hex:01,\\ #c\n\"C\"=hex:01,\\\\\n"
         "\"D\"=hex:01,\\,02\n",
         {"[T]", "3: value \"A\" skipped: only a \";\" comment may follow \"\\\"",
          "4: value \"B\" skipped: only a \";\" comment may follow \"\\\"",
          "5: value \"C\" skipped: only a \";\" comment may follow \"\\\"",
          "6: value \"D\" skipped: only a \";\" comment may follow \"\\\""}},
        {"the file may end where the data goes on: the bytes read so far are kept",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,02,\\\n\n;c\n",
         {"[T]", "T\\A=3:01,02"}},
        {"the file may end right after the \\",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,02,\\",
         {"[T]", "T\\A=3:01,02"}},
        {"but not right after a byte and \\",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex:01,02\\",
         {"[T]", "3: value \"A\" skipped: \"\\\" must follow a comma"}},
        {"a value under a skipped key still takes its continued lines",
         "[HKEY_CURRENT_USER\\T]\n\"A\"=hex:01,\\\n  02\n[HKEY_LOCAL_MACHINE\\T]\n",
         {"2: skipped key outside HKEY_LOCAL_MACHINE: [HKEY_CURRENT_USER\\T]", "[T]"}},
    });
}

TEST(RegeditRead, StringTypesHexData) {
    Check({
        {"hex(1), hex(2) and hex(7) data ending in a NUL is kept as it is",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(1):41,00\n\"B\"=hex(2):25,41,25,00\n"
         "\"C\"=hex(7):41,00,42,00,00\n",
         {"[T]", "T\\A=1:\"A\\0\"", "T\\B=2:\"%A%\\0\"", "T\\C=7:\"A\\0B\\0\\0\""},
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(1):41,00,00,00\n"
         "\"B\"=hex(2):25,00,41,00,25,00,00,00\n\"C\"=hex(7):41,00,00,00,42,00,00,00,00,00\n"},
        {"data without its terminating NUL gets one, as regedit adds it; none for no data",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(1):41,42\n\"B\"=hex(2):25,41,\\\n  25\n"
         "\"C\"=hex(7):41,00,42,\n\"D\"=hex(1):\n\"E\"=hex(7):\n",
         {"[T]", "T\\A=1:\"AB\\0\"", "T\\B=2:\"%A%\\0\"", "T\\C=7:\"A\\0B\\0\"", "T\\D=1:\"\"",
          "T\\E=7:\"\""},
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(1):41,00,42,00\n\"B\"=hex(2):25,00,41,00,\\\n  25,00\n"
         "\"C\"=hex(7):41,00,00,00,42,00,\n\"D\"=hex(1):\n\"E\"=hex(7):\n"},
        {"the other types get no NUL",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(0):41\n\"B\"=hex:41\n\"C\"=hex(100):41\n",
         {"[T]", "T\\A=0:41", "T\\B=3:41", "T\\C=100:41"}},
        {"the file ends inside continued text data: the NUL is added too",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(2):25,41,\\",
         {"[T]", "T\\A=2:\"%A\\0\""},
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(2):25,00,41,00,\\"},
        {"a text this program wrote without its NUL says so, and is read back without one",
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(1):41,42 ; no terminating NUL\n"
         "\"B\"=hex(2):41,\\\n  42;no terminating NUL  \n\"C\"=hex(1):41 ; no terminating NUL!\n",
         {"[T]", "T\\A=1:\"AB\"", "T\\B=2:\"AB\"", "T\\C=1:\"A\\0\""},
         "[HKEY_LOCAL_MACHINE\\T]\n\"A\"=hex(1):41,00,42,00 ; no terminating NUL\n"
         "\"B\"=hex(2):41,00,\\\n  42,00;no terminating NUL  \n"
         "\"C\"=hex(1):41,00 ; no terminating NUL!\n"},
    });
}

TEST(RegeditRead, Windows31FilesHoldNothingForHkeyLocalMachine) {
    const regedit::RegFile file = regedit::ParseRegText(
        "REGEDIT\r\nHKEY_CLASSES_ROOT\\.au3d = Aureal\r\n\r\nHKEY_CLASSES_ROOT\\Aureal\r\n");
    EXPECT_EQ(
        Describe(file),
        (std::vector<std::string>{
            "2: skipped Windows 3.1 entry: such a file holds HKEY_CLASSES_ROOT entries only",
            "4: skipped Windows 3.1 entry: such a file holds HKEY_CLASSES_ROOT entries only"}));
}

TEST(RegeditRead, HeadersAndLineBreaks) {
    const std::string kRefused =
        "refused 1: not a registry file: the first line must be \"REGEDIT4\" or \"Windows "
        "Registry Editor Version 5.00\"";
    const std::vector<std::string> kKey = {"[T]"};
    for (const std::string header :
         {"REGEDIT4", "  REGEDIT4", "\t REGEDIT4 \t", "Windows Registry Editor Version 5.00",
          " Windows Registry Editor Version 5.00"}) {
        const std::string file = header + "\r\n[HKEY_LOCAL_MACHINE\\T]\r\n";
        EXPECT_EQ(Describe(regedit::ParseRegText(file)), kKey) << header;
        EXPECT_EQ(Describe(regedit::ParseRegText(Utf16(file))), kKey) << header;
    }
    for (const std::string header :
         {"", "REGEDIT3", "regedit4", "REGEDIT4 4", "REGEDIT4x", "REGEDIT 4", "REGEDIT5",
          "Windows Registry Editor Version 4.00", "windows registry editor version 5.00",
          "\xEF\xBB\xBFREGEDIT4", "; REGEDIT4"}) {
        const std::string file = header + "\r\n[HKEY_LOCAL_MACHINE\\T]\r\n";
        EXPECT_EQ(Describe(regedit::ParseRegText(file)), std::vector<std::string>{kRefused})
            << header;
        EXPECT_EQ(Describe(regedit::ParseRegText(Utf16(file))), std::vector<std::string>{kRefused})
            << header;
    }
    EXPECT_EQ(Describe(regedit::ParseRegText("")), std::vector<std::string>{kRefused});
    EXPECT_EQ(Describe(regedit::ParseRegText("\n[HKEY_LOCAL_MACHINE\\T]\n")),
              std::vector<std::string>{kRefused});
    // CR LF, LF and CR alone all end a line, and the last line needs none.
    const std::vector<std::string> kLines = {"[T]", "T\\A=4:01,00,00,00", "T\\B=4:02,00,00,00",
                                             "[U]"};
    for (const std::string file :
         {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\T]\r\n\"A\"=dword:1\r\n\"B\"=dword:2\r\n"
          "[HKEY_LOCAL_MACHINE\\U]\r\n",
          "REGEDIT4\n[HKEY_LOCAL_MACHINE\\T]\n\"A\"=dword:1\n\"B\"=dword:2\n[HKEY_LOCAL_"
          "MACHINE\\U]",
          "REGEDIT4\r[HKEY_LOCAL_MACHINE\\T]\r\"A\"=dword:1\r\n\"B\"=dword:2\n"
          "[HKEY_LOCAL_MACHINE\\U]\r"}) {
        EXPECT_EQ(Describe(regedit::ParseRegText(file)), kLines) << file;
        EXPECT_EQ(Describe(regedit::ParseRegText(Utf16(file))), kLines) << file;
    }
}

// UTF-16 text of a 5.00 file, from UTF-16 code units.
std::string Utf16Units(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (const char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

TEST(RegeditRead, Utf16FilesAreHeldInWindows1252) {
    const std::u16string header = u"Windows Registry Editor Version 5.00\r\n";
    // Latin and the euro sign have their Windows-1252 bytes; a comment may say anything.
    EXPECT_EQ(
        Describe(regedit::ParseRegText(Utf16Units(
            header + u"; \u4e2d\r\n[HKEY_LOCAL_MACHINE\\Caf\u00e9]\r\n\"\u00e9\"=\"5 \u20ac\"\r\n"
                     u"\"P\"=hex(2):ac,20,00,00\r\n\"R\"=hex:ac,20\r\n"))),
        (std::vector<std::string>{"[Caf\xe9]", "Caf\xe9\\\xe9=1:\"5 \x80\\0\"",
                                  "Caf\xe9\\P=2:\"\x80\\0\"", "Caf\xe9\\R=3:ac,20"}));
    // What Windows-1252 cannot hold is skipped, named, and the rest read on.
    EXPECT_EQ(
        Describe(regedit::ParseRegText(Utf16Units(
            header + u"[HKEY_LOCAL_MACHINE\\\u4e2d]\r\n\"A\"=dword:1\r\n"
                     u"[HKEY_LOCAL_MACHINE\\T]\r\n\"\u4e2d\"=dword:1\r\n\"B\"=\"\u4e2d\"\r\n"
                     u"\"C\"=hex(1):2d,4e,00,00\r\n\"D\"=hex(7):41\r\n\"E\"=dword:5\r\n"))),
        (std::vector<std::string>{
            "2: key [HKEY_LOCAL_MACHINE\\\xe4\xb8\xad] skipped with the values under it: key "
            "path cannot be held in Windows-1252",
            "[T]", "5: value \"\xe4\xb8\xad\" skipped: value name cannot be held in Windows-1252",
            "6: value \"B\" skipped: text cannot be held in Windows-1252",
            "7: value \"C\" skipped: text data cannot be held in Windows-1252",
            "8: value \"D\" skipped: UTF-16 text data with an odd number of bytes",
            "T\\E=4:05,00,00,00"}));
    // Whether hex data of string types is UTF-16 goes by the file's encoding, not its header.
    EXPECT_EQ(
        Describe(regedit::ParseRegText("Windows Registry Editor Version 5.00\r\n"
                                       "[HKEY_LOCAL_MACHINE\\T]\r\n\"E\"=hex(2):41,00,42,00\r\n")),
        (std::vector<std::string>{"[T]", "T\\E=2:\"A\\0B\\0\""}));
    const std::string odd = Utf16Units(header + u"[HKEY_LOCAL_MACHINE\\T]\r\n") + "x";
    EXPECT_EQ(Describe(regedit::ParseRegText(odd)),
              std::vector<std::string>{"refused 0: UTF-16 file with an odd number of bytes"});
}

}  // namespace
