#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/regedit/regedit.h"
#include "platform/platform.h"
#include "registry/nt_version.h"
#include "registry/sqlite/sqlite_store.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "text/cp1252.h"

namespace {

using namespace platform;
using regedit::Encoding;
using settings::RegValue;
namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Every key (as "path\") and value (as "path\name") of a store, in lower case, with type and
// bytes: for comparing whole stores.
using Snapshot = std::map<std::string, std::pair<std::uint32_t, Bytes>>;

void Collect(SqliteStore& store, const std::string& path, Snapshot* out) {
    std::string folded = path;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    (*out)[folded + "\\"] = {0, {}};
    std::vector<StoredValue> values;
    ASSERT_EQ(store.Values(path, &values), 0) << path;
    for (const auto& value : values) (*out)[folded + "\\" + value.name] = {value.type, value.data};
    std::vector<std::string> children;
    ASSERT_EQ(store.SubKeys(path, &children), 0);
    for (const auto& child : children)
        Collect(store, path.empty() ? child : path + "\\" + child, out);
}

Snapshot Take(SqliteStore& store) {
    Snapshot snapshot;
    Collect(store, "", &snapshot);
    return snapshot;
}

// UTF-16LE with a byte-order mark, from UTF-16 text.
std::string Utf16(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (const char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

class RegeditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/calvenor-regedit-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        store_ = NewStore("main.db");
        ASSERT_TRUE(store_);
    }
    void TearDown() override {
        store_.reset();
        fs::remove_all(dir_);
    }

    std::unique_ptr<SqliteStore> NewStore(const std::string& name) {
        std::string error;
        auto store = SqliteStore::Open((dir_ / name).string(), &error);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }

    std::string Import(const std::string& text, std::vector<std::string>* warnings = nullptr) {
        return regedit::ImportRegText(*store_, text, "test.reg", warnings);
    }

    Bytes Value(const std::string& path, const std::string& name, std::uint32_t* type = nullptr) {
        std::vector<StoredValue> values;
        store_->Values(path, &values);
        for (const auto& value : values) {
            if (value.name == name) {
                if (type) *type = value.type;
                return value.data;
            }
        }
        ADD_FAILURE() << "no value " << path << "\\" << name;
        return {};
    }

    fs::path dir_;
    std::unique_ptr<SqliteStore> store_;
};

TEST_F(RegeditTest, SeedDescribesAFreshMachine) {
    std::vector<std::string> warnings;
    ASSERT_EQ(regedit::ImportRegFile(*store_, CALVENOR_SOURCE_DIR "/data/seed.reg", &warnings), "");
    EXPECT_TRUE(warnings.empty());
    settings::Registry registry(*store_);
    const auto fetch = [&](const char* key, const char* name) {
        return registry.FetchValue(kHKLM, key, name);
    };

    // Every value the reset window writes, at its reference default.
    const struct {
        const char* key;
        const char* name;
        int value;
    } kDefaults[] = {
        {schema::kControlPanel, schema::kPrimaryXtalk, 2},
        {schema::kControlPanel, schema::kGamerMode, 1},
        {schema::kControlPanel, schema::kSoftSynthVoices, 256},
        {schema::kControlPanel, schema::kSoftSynthMode, 3},
        {schema::kControlPanel, schema::kSoftSynthModeIndex, 0},
        {schema::kControlPanel, schema::kSoftSynth, 2},
        {schema::kControlPanel, schema::kReverbAmount, 64},
        {schema::kControlPanel, schema::kChorusAmount, 64},
        {schema::kControlPanel, schema::kAspenWavetableEffect, 1},
        {schema::kCustomization, schema::kSpdifFrequency, 48000},
        {schema::kCustomization, schema::kDetectSpdifOut, 1},
        {schema::kCustomization, schema::kEnableSpdifOut, 1},
        {schema::kCustomization, schema::kDetectSpdifIn, 0},
        {schema::kCustomization, schema::kEnableSpdifIn, 0},
        {schema::kCustomization, schema::kSupportAnalogEQ, 0},
        {schema::kControlPanel, schema::kAnalogEQSrcLine, 3},
        {schema::kControlPanel, schema::kAnalogEQEnableState, 0},
        {schema::kCustomization, schema::kDisableAC97Codec3DEffect, 1},
        {schema::kCustomization, schema::kST9708LA4RearInversion, 1},
        {schema::kCustomization, schema::kCorrectLA2, 1},
        {schema::kCustomization, schema::kST9704ATTEN, 0},
        {schema::kCustomization, schema::kAC97PCMOutVol, 8},
        {schema::kCustomization, schema::kAC97PCM2OutVol, 8},
        {schema::kCustomization, schema::kAC97MixerFrontOutVol, 8},
        {schema::kCustomization, schema::kAC97MixerRearOutVol, 8},
        {schema::kControlPanel, schema::kQuadCodecOutputModeState, 0},
        {schema::kCustomization, schema::kSetGPIO0InQuad, 0},
    };
    for (const auto& row : kDefaults) {
        EXPECT_EQ(fetch(row.key, row.name), RegValue::Number(row.value)) << row.name;
    }
    std::vector<StoredValue> values;
    ASSERT_EQ(store_->Values(schema::kControlPanel, &values), 0);
    EXPECT_EQ(values.size(), 13u);  // the twelve above and HighPerformanceMIDI
    ASSERT_EQ(store_->Values(schema::kCustomization, &values), 0);
    EXPECT_EQ(values.size(), 15u);
    EXPECT_TRUE(fetch(schema::kControlPanel, schema::kAC97MixerLocation).empty());
    EXPECT_EQ(fetch(schema::kControlPanel, schema::kHighPerformanceMIDI), RegValue::Number(0));
    EXPECT_EQ(fetch(schema::kDriverEqualizer, schema::kEqBypass), RegValue::Number(0));
    EXPECT_EQ(fetch(schema::kDriverEqualizer, schema::kActiveCoefSet), RegValue::Number(0));
    EXPECT_EQ(fetch(schema::kAU8830Equalizer, schema::kPresetNumber), RegValue::Number(0));
    ASSERT_EQ(store_->Values(schema::kSpeakerCompensation, &values), 0);
    EXPECT_TRUE(values.empty());
    ASSERT_EQ(store_->Values(schema::kSpdifEnableList, &values), 0);
    EXPECT_TRUE(values.empty());
    EXPECT_FALSE(store_->KeyExists(schema::kA3D));

    // Texts as regedit stores them: with their terminating NUL.
    EXPECT_EQ(fetch(schema::kRun, schema::kAU30TRAY),
              RegValue::Text(std::string("au30tray.exe\0", 13)));
    EXPECT_EQ(fetch(schema::kDirectXMedia, schema::kProg).str().back(), '\0');
    EXPECT_GT(fetch(schema::kDirectXMedia, schema::kProg).str().size(), 1u);
    EXPECT_EQ(fetch(platform::nt_version::kKey, platform::nt_version::kCurrentVersion),
              RegValue::Text(std::string("5.1\0", 4)));
    EXPECT_EQ(fetch(platform::nt_version::kKey, platform::nt_version::kCurrentBuildNumber),
              RegValue::Text(std::string("2600\0", 5)));
    EXPECT_EQ(fetch(platform::nt_version::kKey, platform::nt_version::kCSDVersion),
              RegValue::Text(std::string("Service Pack 3\0", 15)));
    EXPECT_EQ(fetch(schema::kWpcrsetService, schema::kStart), RegValue::Number(0));
    EXPECT_EQ(fetch(schema::kWpcrsetParameters, schema::kStart), RegValue::Number(1));
}

// A store holding every kind of value the formats must carry byte for byte.
void Fill(SqliteStore& store) {
    const std::string key = "SOFTWARE\\Odd Key [1]\\Sub";
    ASSERT_EQ(store.CreateKeyPath(key), 0);
    ASSERT_EQ(store.CreateKeyPath("SOFTWARE\\Odd Key [1]\\Empty Child"), 0);
    ASSERT_EQ(store.CreateKeyPath("SYSTEM\\Caf\xe9"), 0);
    const std::vector<StoredValue> values = {
        {"", REG_SZ, B(std::string("default\0", 8))},
        {"Quoted", REG_SZ, B(std::string("say \"hi\" C:\\dir\\ ; not a comment\0", 33))},
        {"NoTerminator", REG_SZ, B("au30tray.exe")},
        {"InnerNul", REG_SZ, B(std::string("a\0b\0", 4))},
        {"TwoNuls", REG_SZ, B(std::string("ab\0\0", 4))},
        {"Tab", REG_SZ, B(std::string("a\tb\0", 4))},
        {"LineBreak", REG_SZ, B(std::string("a\r\nb\0", 5))},
        {"Latin", REG_SZ, B(std::string("Caf\xe9 \x80 \x9f\0", 9))},
        {"Undefined1252", REG_SZ, B(std::string("\x81\x8d\0", 3))},
        {"EmptyText", REG_SZ, {}},
        {"OnlyNul", REG_SZ, {0}},
        {"name \"with\" \\slashes\\", REG_DWORD, {1, 2, 3, 4}},
        {"MinusOne", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"ShortDword", REG_DWORD, {7, 0, 0}},
        {"Expand", REG_EXPAND_SZ, B(std::string("%SystemRoot%\\x\xe9\0", 16))},
        {"Multi", REG_MULTI_SZ, B(std::string("one\0two\0\0", 9))},
        {"None", REG_NONE, {1, 2}},
        {"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"EmptyBinary", REG_BINARY, {}},
    };
    for (const auto& value : values) {
        ASSERT_EQ(store.PutValue(key, value.name, value.type, value.data), 0) << value.name;
    }
    Bytes coefficients(248);
    for (std::size_t i = 0; i < coefficients.size(); ++i) {
        coefficients[i] = static_cast<std::uint8_t>(i * 37);
    }
    ASSERT_EQ(store.PutValue(key, "CoefSet0", REG_BINARY, coefficients), 0);
    ASSERT_EQ(store.PutValue("SYSTEM\\Caf\xe9", "\xe9t\xe9", REG_SZ, B(std::string("\xe0\0", 2))),
              0);
}

TEST_F(RegeditTest, ExportThenImportGivesTheSameBytes) {
    Fill(*store_);
    const Snapshot original = Take(*store_);
    for (const Encoding encoding : {Encoding::Regedit4, Encoding::Unicode5}) {
        SCOPED_TRACE(encoding == Encoding::Regedit4 ? "REGEDIT4" : "5.00");
        std::string exported;
        ASSERT_EQ(regedit::ExportRegText(*store_, "", encoding, &exported), "");
        auto copy = NewStore(encoding == Encoding::Regedit4 ? "copy4.db" : "copy5.db");
        ASSERT_TRUE(copy);
        std::vector<std::string> warnings;
        ASSERT_EQ(regedit::ImportRegText(*copy, exported, "export.reg", &warnings), "");
        EXPECT_TRUE(warnings.empty());
        EXPECT_EQ(Take(*copy), original);
        std::string again;
        ASSERT_EQ(regedit::ExportRegText(*copy, "", encoding, &again), "");
        EXPECT_EQ(again, exported);
    }
}

TEST_F(RegeditTest, Regedit4ExportHasRegeditsLayout) {
    Fill(*store_);
    std::string text;
    ASSERT_EQ(regedit::ExportRegText(*store_, "", Encoding::Regedit4, &text), "");
    ASSERT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n", 0), 0u) << text;
    // Every line ends in CRLF and fits in 80 columns.
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "unterminated last line";
        const std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        if (line.rfind("\"CoefSet0\"", 0) == 0 || line.rfind("  ", 0) == 0) {
            EXPECT_LE(line.size(), 80u) << line;
        }
        start = end + 2;
    }
    const auto has = [&](const std::string& piece) {
        EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text;
    };
    has("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd Key [1]\\Sub]\r\n@=\"default\"\r\n");
    has("\r\n\"Quoted\"=\"say \\\"hi\\\" C:\\\\dir\\\\ ; not a comment\"\r\n");
    has("\r\n\"NoTerminator\"=hex(1):61,75,33,30,74,72,61,79,2e,65,78,65\r\n");
    has("\r\n\"InnerNul\"=hex(1):61,00,62,00\r\n");
    has("\r\n\"Latin\"=\"Caf\xe9 \x80 \x9f\"\r\n");
    has("\r\n\"EmptyText\"=hex(1):\r\n");
    has("\r\n\"OnlyNul\"=\"\"\r\n");
    has("\r\n\"name \\\"with\\\" \\\\slashes\\\\\"=dword:04030201\r\n");
    has("\r\n\"MinusOne\"=dword:ffffffff\r\n");
    has("\r\n\"ShortDword\"=hex(4):07,00,00\r\n");
    has("\r\n\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n");
    has("\r\n\"EmptyBinary\"=hex:\r\n");
    has("\r\n\"CoefSet0\"=hex:00,25,4a,");
    has(",\\\r\n  ");
    // Keys are separated by a blank line, parents before children, and the text ends in one.
    has("\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd Key [1]\\Empty Child]\r\n\r\n[");
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

TEST_F(RegeditTest, ExportOfOneKeyTakesItsSubtreeOnly) {
    Fill(*store_);
    std::string text;
    ASSERT_EQ(regedit::ExportRegText(*store_, "software\\odd key [1]", Encoding::Regedit4, &text),
              "");
    EXPECT_EQ(text.find("[HKEY_LOCAL_MACHINE\\SYSTEM"), std::string::npos);
    EXPECT_EQ(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE]"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd Key [1]]\r\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd Key [1]\\Sub]\r\n"), std::string::npos);
    EXPECT_EQ(regedit::ExportRegText(*store_, "SOFTWARE\\Nothing", Encoding::Regedit4, &text),
              "key \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing\" not found");

    const std::string file = (dir_ / "out.reg").string();
    ASSERT_EQ(regedit::ExportRegFile(*store_, file, "SYSTEM"), "");
    std::ifstream in(file, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(written,
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\Caf\xe9]\r\n\"\xe9t\xe9\"=\"\xe0\"\r\n\r\n");
    EXPECT_NE(regedit::ExportRegFile(*store_, (dir_ / "no" / "dir.reg").string(), ""), "");
}

TEST_F(RegeditTest, DeletionsAndContinuationLines) {
    ASSERT_EQ(Import("REGEDIT4\r\n"
                     "[HKEY_LOCAL_MACHINE\\A\\B\\C]\r\n"
                     "\"keep\"=dword:1\r\n"
                     "[HKEY_LOCAL_MACHINE\\A\\Bee]\r\n"
                     "\"gone\"=\"x\"\r\n"
                     "\"stays\"=\"y\"\r\n"),
              "");
    std::vector<std::string> warnings;
    ASSERT_EQ(Import("REGEDIT4\n"
                     "\n"
                     "; comments and blank lines anywhere\n"
                     "   ; also indented\n"
                     "[-HKEY_LOCAL_MACHINE\\a\\b]\n"
                     "\"ignored\"=dword:2\n"
                     "[-HKEY_LOCAL_MACHINE\\Never\\There]\n"
                     "[HKLM\\a\\bee]\n"
                     "\"GONE\"=-\n"
                     "\"missing\"=-\n"
                     "  \"Spread\" = hex:01,02,\\ ; a comment after the mark\n"
                     "      03 , 04,\\\n"
                     "\n"
                     "  ; and lines of nothing in between\n"
                     "\t05 ; the end\n"
                     "[HKEY_LOCAL_MACHINE\\A\\Bee] ; the same key again\n"
                     "@=hex(2):25,00\n"
                     "\"Upper\"=DWORD:ABCDEF01\n",
                     &warnings),
              "");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "test.reg:6: value after a deleted key ignored");
    EXPECT_FALSE(store_->KeyExists("A\\B"));
    EXPECT_TRUE(store_->KeyExists("A"));
    std::vector<StoredValue> values;
    ASSERT_EQ(store_->Values("A\\Bee", &values), 0);
    EXPECT_EQ(values, (std::vector<StoredValue>{{"", REG_EXPAND_SZ, {0x25, 0x00}},
                                                {"Spread", REG_BINARY, {1, 2, 3, 4, 5}},
                                                {"stays", REG_SZ, {'y', 0}},
                                                {"Upper", REG_DWORD, {0x01, 0xEF, 0xCD, 0xAB}}}));
}

TEST_F(RegeditTest, UnicodeFilesAreHeldInWindows1252) {
    // "Café" in a key name, a euro sign in a text, and a REG_EXPAND_SZ whose data is UTF-16.
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"; \u4e2d comments may say anything\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\u00e9]\r\n"
        u"\"Price\"=\"5 \u20ac\"\r\n"
        u"\"Path\"=hex(2):25,00,41,00,ac,20,00,00\r\n"
        u"\"Raw\"=hex:ac,20\r\n";
    ASSERT_EQ(Import(Utf16(text)), "");
    const std::string key = "SOFTWARE\\Caf\xe9";
    ASSERT_TRUE(store_->KeyExists(key));
    std::uint32_t type = 0;
    EXPECT_EQ(Value(key, "Price", &type), B(std::string("5 \x80\0", 4)));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(Value(key, "Path", &type), B(std::string("%A\x80\0", 4)));
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(Value(key, "Raw"), (Bytes{0xAC, 0x20}));

    // Whether hex data of string types is UTF-16 goes by the file's encoding, not its header.
    ASSERT_EQ(Import("Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\Ansi]\r\n"
                     "\"e\"=hex(2):41,00,42,00\r\n"),
              "");
    EXPECT_EQ(Value("Ansi", "e"), (Bytes{0x41, 0, 0x42, 0}));

    // And back: the 5.00 export is UTF-16 again, string types' hex data included.
    std::string exported;
    ASSERT_EQ(regedit::ExportRegText(*store_, key, Encoding::Unicode5, &exported), "");
    const std::u16string expected =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\u00e9]\r\n"
        u"\"Path\"=hex(2):25,00,41,00,ac,20,00,00\r\n"
        u"\"Price\"=\"5 \u20ac\"\r\n"
        u"\"Raw\"=hex:ac,20\r\n\r\n";
    EXPECT_EQ(exported, Utf16(expected));
}

TEST_F(RegeditTest, MalformedFilesNameTheLineAndApplyNothing) {
    ASSERT_EQ(Import("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Before]\r\n\"v\"=dword:1\r\n"), "");
    const Snapshot before = Take(*store_);
    // Each file starts with changes that are fine; then line 5 is wrong.
    const std::string good =
        "REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\Before]\r\n[HKEY_LOCAL_MACHINE\\New]\r\n\"a\"=\"b\"\r\n";
    const struct {
        std::string line;
        std::string message;
    } kCases[] = {
        {"\"name\" dword:00000001", "expected \"=\" after value name"},
        {"\"name\"", "expected \"=\" after value name"},
        {"\"name=dword:1", "missing closing quote"},
        {"\"name\"=\"open", "missing closing quote"},
        {"\"name\"=\"a\\tb\"", "unknown escape \"\\t\""},
        {"\"name\"=\"a\" trailing", "unexpected text after the closing quote"},
        {"\"name\"=dword:123456789", "dword value must be 1 to 8 hexadecimal digits"},
        {"\"name\"=dword:", "dword value must be 1 to 8 hexadecimal digits"},
        {"\"name\"=dword:12 34", "dword value must be 1 to 8 hexadecimal digits"},
        {"\"name\"=hex:01,zz", "expected a hexadecimal byte"},
        {"\"name\"=hex:01,,02", "expected a hexadecimal byte"},
        {"\"name\"=hex:012", "expected \",\" between hexadecimal bytes"},
        {"\"name\"=hex(x):01", "expected hex(N): with N a hexadecimal type number"},
        {"\"name\"=hex", "expected \":\" after hex"},
        {"\"name\"=sz:abc", "expected \"-\", a quoted text, dword: or hex: after \"=\""},
        {"\"name\"=- x", "unexpected text after \"-\""},
        {"[HKEY_LOCAL_MACHINE\\Unclosed", "expected \"]\" at the end of the key name"},
        {"[HKEY_LOCAL_MACHINE\\a\\\\b]", "empty name in key path"},
        {"[HKEY_LOCAL_MACHINE\\a] b", "unexpected text after \"]\""},
        {"[HKEY_LOCAL_MACHINE\\a\\]", "empty name in key path"},
        {"[HKEY_NOWHERE\\a]", "unknown root key \"HKEY_NOWHERE\""},
        {"[-HKEY_LOCAL_MACHINE]", "the root key cannot be deleted"},
        {"stray words", "expected a [key], a value or a comment"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Import(good + c.line + "\r\n[HKEY_LOCAL_MACHINE\\After]\r\n"),
                  "test.reg:5: " + c.message)
            << c.line;
        EXPECT_EQ(Take(*store_), before) << c.line;
    }
    // Continued hex data: the error is on the line where the bad byte is.
    EXPECT_EQ(Import(good + "\"h\"=hex:01,\\\r\n  02,\\\r\n  0x\r\n"),
              "test.reg:7: expected \",\" between hexadecimal bytes");
    EXPECT_EQ(Import(good + "\"h\"=hex:01,\\\r\n  02,\\"),
              "test.reg:6: file ends inside a value continued with \"\\\"");
    EXPECT_EQ(Import("REGEDIT4\r\n\"v\"=dword:1\r\n"), "test.reg:2: value before the first [key]");
    EXPECT_EQ(Import("REGEDIT5\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"),
              "test.reg:1: not a registry file: the first line must be \"REGEDIT4\" or "
              "\"Windows Registry Editor Version 5.00\"");
    EXPECT_EQ(Import(""), Import("REGEDIT5"));
    EXPECT_EQ(Import(Utf16(u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\New]"
                           u"\r\n\"a\"=\"\u4e2d\"\r\n")),
              "test.reg:3: character U+4E2D cannot be held in Windows-1252");
    EXPECT_EQ(Import(Utf16(u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\New]"
                           u"\r\n\"a\"=hex(1):2d,4e,00,00\r\n")),
              "test.reg:3: text data cannot be held in Windows-1252");
    EXPECT_EQ(Import(Utf16(u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\New]"
                           u"\r\n\"a\"=hex(7):41\r\n")),
              "test.reg:3: UTF-16 text data with an odd number of bytes");
    EXPECT_EQ(Take(*store_), before);
    EXPECT_EQ(regedit::ImportRegFile(*store_, (dir_ / "absent.reg").string(), nullptr)
                  .rfind("cannot read \"" + (dir_ / "absent.reg").string() + "\": ", 0),
              0u);
}

TEST_F(RegeditTest, OtherRootsAreReportedAndSkipped) {
    std::vector<std::string> warnings;
    ASSERT_EQ(Import("REGEDIT4\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Aureal]\r\n"
                     "\"user\"=dword:00000001\r\n"
                     "[-HKEY_CLASSES_ROOT\\.reg]\r\n"
                     "[hkey_local_machine\\Software\\Aureal]\r\n"
                     "\"machine\"=dword:00000002\r\n"
                     "[HKCU\\X]\r\n"
                     "\"user2\"=\"u\"\r\n",
                     &warnings),
              "");
    EXPECT_EQ(warnings,
              (std::vector<std::string>{
                  "test.reg:2: skipped key outside HKEY_LOCAL_MACHINE: "
                  "[HKEY_CURRENT_USER\\Software\\Aureal]",
                  "test.reg:4: skipped key outside HKEY_LOCAL_MACHINE: [-HKEY_CLASSES_ROOT\\.reg]",
                  "test.reg:7: skipped key outside HKEY_LOCAL_MACHINE: [HKCU\\X]"}));
    Snapshot expected;
    expected["\\"] = {0, {}};
    expected["software\\"] = {0, {}};
    expected["software\\aureal\\"] = {0, {}};
    expected["software\\aureal\\machine"] = {REG_DWORD, {2, 0, 0, 0}};
    EXPECT_EQ(Take(*store_), expected);
}

TEST_F(RegeditTest, ImportIntoAReadOnlyStoreFailsWhole) {
    ASSERT_EQ(Import("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=dword:1\r\n"), "");
    std::string error;
    auto locked = SqliteStore::Open(store_->path(), &error, SqliteStore::Access::ReadOnly);
    ASSERT_TRUE(locked) << error;
    EXPECT_EQ(regedit::ImportRegText(*locked, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n",
                                     "ro.reg", nullptr),
              "ro.reg:3: cannot create key: access denied (the store is read-only)");
    const Snapshot before = Take(*store_);
    EXPECT_NE(regedit::ImportRegText(*locked, "REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\K]\r\n", "ro.reg",
                                     nullptr),
              "");
    EXPECT_EQ(Take(*store_), before);
}

TEST(Cp1252, EveryByteHasACharacterAndBack) {
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t unit = cp1252::ToUnicode(static_cast<std::uint8_t>(byte));
        EXPECT_EQ(cp1252::FromUnicode(unit), byte) << byte;
    }
    EXPECT_EQ(cp1252::ToUnicode(0x80), u'\u20ac');
    EXPECT_EQ(cp1252::ToUnicode(0x9F), u'\u0178');
    EXPECT_EQ(cp1252::FromUnicode(u'\u0100'), -1);
    EXPECT_EQ(cp1252::FromUnicode(0xD800), -1);
}

}  // namespace

namespace {

// The path a key name stands for, or the error as "!message".
std::string KeyPath(const std::string& name) {
    std::string path = "unset";
    const std::string error = regedit::ParseKeyName(name, &path);
    return error.empty() ? path : "!" + error;
}

TEST(KeyNames, EveryFormRegeditUsesNamesTheSameKey) {
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830";
    for (const std::string& name : {
             "HKEY_LOCAL_MACHINE\\" + key,
             "HKLM\\" + key,
             "hkey_local_machine\\" + key,
             "HkLm\\" + key,
             "[HKEY_LOCAL_MACHINE\\" + key + "]",
             "[hklm\\" + key + "]",
             "[" + key + "]",
             key,
             key + "\\",
             "HKLM\\" + key + "\\",
         }) {
        EXPECT_EQ(KeyPath(name), key) << name;
    }
    // The root itself, however it is named.
    for (const char* name : {"HKEY_LOCAL_MACHINE", "HKLM", "[HKLM]", "hklm\\", ""}) {
        EXPECT_EQ(KeyPath(name), "") << name;
    }
    // A name that merely starts like a root is a key under HKEY_LOCAL_MACHINE.
    EXPECT_EQ(KeyPath("HKLMX\\Y"), "HKLMX\\Y");
}

TEST(KeyNames, OtherRootsAndBrokenPathsAreRefusedWithTheReason) {
    EXPECT_EQ(KeyPath("HKEY_CURRENT_USER\\Software"),
              "!key \"HKEY_CURRENT_USER\\Software\" is not under HKEY_LOCAL_MACHINE, the only "
              "root kept here (HKLM)");
    for (const char* name : {"HKCU\\Software", "[HKEY_USERS\\.DEFAULT]", "hkcr\\.reg", "HKCC"}) {
        EXPECT_NE(KeyPath(name).find("is not under HKEY_LOCAL_MACHINE"), std::string::npos) << name;
    }
    EXPECT_EQ(KeyPath("HKEY_NOWHERE\\X"),
              "!key \"HKEY_NOWHERE\\X\": unknown root key \"HKEY_NOWHERE\"");
    EXPECT_EQ(KeyPath("HKLM\\SYSTEM\\\\X"), "!key \"HKLM\\SYSTEM\\\\X\": empty name in key path");
    EXPECT_EQ(KeyPath("\\SYSTEM"), "!key \"\\SYSTEM\": empty name in key path");
    EXPECT_EQ(KeyPath(std::string("SYSTEM\\a\0b", 10)).substr(0, 5), "!key ");
}

}  // namespace
