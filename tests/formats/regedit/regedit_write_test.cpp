// Writing regedit files: regedit's layout, and whatever is written reads back to the very same
// keys, values, types and bytes, in both encodings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/regedit/regedit.h"

namespace {

using namespace platform;
using regedit::Encoding;
using regedit::Entry;
using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

struct Value {
    std::string name;
    std::uint32_t type;
    Bytes data;
};

// Every kind of value a registry holds that a file must carry exactly.
std::vector<Value> EveryKind() {
    Bytes coefficients(248);
    for (std::size_t i = 0; i < coefficients.size(); ++i) {
        coefficients[i] = static_cast<std::uint8_t>(i * 37);
    }
    return {
        {"", 1, B(std::string("default\0", 8))},
        {"Quoted", 1, B(std::string("say \"hi\" C:\\dir\\ ; # not a comment\0", 35))},
        {"NoTerminator", 1, B("au30tray.exe")},
        {"LongNoTerminator", 1, B(std::string(100, 'x'))},
        {"ExpandNoTerminator", 2, B("%SystemRoot%")},
        {"MultiNoTerminator", 7, B(std::string("one\0two", 7))},
        {"InnerNul", 1, B(std::string("a\0b\0", 4))},
        {"TwoNuls", 1, B(std::string("ab\0\0", 4))},
        {"Tab", 1, B(std::string("a\tb\0", 4))},
        {"LineBreak", 1, B(std::string("a\r\nb\0", 5))},
        {"Latin", 1, B(std::string("Caf\xe9 \x80 \x9f\0", 9))},
        {"Undefined1252", 1, B(std::string("\x81\x8d\0", 3))},
        {"EmptyText", 1, {}},
        {"OnlyNul", 1, {0}},
        {"EmptyMulti", 7, {}},
        {"name \"with\" \\slashes\\ ; and = @", 4, {1, 2, 3, 4}},
        {"@", 4, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"  \xe9t\xe9  ", 4, {7, 0, 0}},
        {"Expand", 2, B(std::string("%SystemRoot%\\x\xe9\0", 16))},
        {"Multi", 7, B(std::string("one\0two\0\0", 9))},
        {"None", 0, {1, 2}},
        {"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Odd", 0xabcd, {}},
        {"EmptyBinary", 3, {}},
        {"CoefSet0", 3, coefficients},
    };
}

TEST(RegeditWrite, WhatIsWrittenReadsBackByteForByte) {
    const std::vector<std::string> keys = {"", "SOFTWARE\\Odd Key [1]\\Sub ", "SYSTEM\\Caf\xe9"};
    for (const Encoding encoding : {Encoding::Regedit4, Encoding::Unicode5}) {
        SCOPED_TRACE(encoding == Encoding::Regedit4 ? "REGEDIT4" : "5.00");
        regedit::RegWriter writer(encoding);
        std::vector<Entry> expected;
        for (const std::string& key : keys) {
            ASSERT_EQ(writer.Key(key), "");
            expected.push_back({Entry::Kind::CreateKey, 0, key, "", 0, {}, ""});
            for (const Value& value : EveryKind()) {
                ASSERT_EQ(writer.Value(value.name, value.type, value.data), "") << value.name;
                expected.push_back(
                    {Entry::Kind::SetValue, 0, key, value.name, value.type, value.data, ""});
            }
        }
        regedit::RegFile file = regedit::ParseRegText(writer.Finish());
        ASSERT_EQ(file.error, "");
        ASSERT_EQ(file.entries.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            file.entries[i].line = 0;
            EXPECT_EQ(file.entries[i], expected[i]) << expected[i].key << "\\" << expected[i].name;
        }
    }
}

TEST(RegeditWrite, RegeditsLayout) {
    regedit::RegWriter writer(Encoding::Regedit4);
    ASSERT_EQ(writer.Key("SOFTWARE\\A"), "");
    ASSERT_EQ(writer.Value("", 1, B(std::string("x\0", 2))), "");
    ASSERT_EQ(writer.Value("N", 4, {1, 0, 0, 0}), "");
    ASSERT_EQ(writer.Value("Text", 1, B("au30tray.exe")), "");
    ASSERT_EQ(writer.Key("SOFTWARE\\A\\B"), "");
    ASSERT_EQ(writer.Key("SOFTWARE\\C"), "");
    ASSERT_EQ(writer.Value("Bin", 3, {0xAB}), "");
    EXPECT_EQ(
        writer.Finish(),
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n@=\"x\"\r\n\"N\"=dword:00000001\r\n"
        "\"Text\"=hex(1):61,75,33,30,74,72,61,79,2e,65,78,65 ; no terminating NUL\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\C]\r\n"
        "\"Bin\"=hex:ab\r\n\r\n");
    EXPECT_EQ(regedit::RegWriter(Encoding::Regedit4).Finish(), "REGEDIT4\r\n\r\n");
    std::string wide = "\xFF\xFE";
    for (const char c : std::string("Windows Registry Editor Version 5.00\r\n\r\n")) {
        wide += {c, '\0'};
    }
    EXPECT_EQ(regedit::RegWriter(Encoding::Unicode5).Finish(), wide);
}

TEST(RegeditWrite, HexLinesFitEightyColumnsWithTheirMark) {
    regedit::RegWriter writer(Encoding::Regedit4);
    ASSERT_EQ(writer.Key("K"), "");
    // Lengths around the point where the last item and the mark no longer fit in the line.
    for (std::size_t length = 1; length <= 60; ++length) {
        ASSERT_EQ(writer.Value("T" + std::to_string(length), 1, Bytes(length, 'x')), "");
        ASSERT_EQ(writer.Value("B" + std::to_string(length), 3, Bytes(length, 1)), "");
    }
    const std::string text = writer.Finish();
    std::size_t start = 0;
    int marks = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(start, end - start);
        EXPECT_LE(line.size(), 80u) << line;
        if (line.find("; no terminating NUL") != std::string::npos) ++marks;
        start = end + 2;
    }
    EXPECT_EQ(marks, 60);
}

TEST(RegeditWrite, NamesNoLineCanHoldAreRefused) {
    regedit::RegWriter writer(Encoding::Regedit4);
    EXPECT_EQ(writer.Key("a\nb"),
              "key \"HKEY_LOCAL_MACHINE\\a\nb\" cannot be written in a .reg file");
    EXPECT_NE(writer.Key(std::string("a\0b", 3)), "");
    ASSERT_EQ(writer.Key("a"), "");
    EXPECT_EQ(writer.Value("x\r", 4, {0, 0, 0, 0}),
              "value name \"x\r\" cannot be written in a .reg file");
    EXPECT_NE(writer.Value(std::string("x\0", 2), 4, {0, 0, 0, 0}), "");
}

}  // namespace
