#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "detect/file_version.h"
#include "formats/pe/pe_version.h"
#include "platform/posix/posix_platform.h"
#include "registry/nt_version.h"

namespace {

namespace fs = std::filesystem;
using platform::FixedFileVersion;
using platform::ReadPeFileVersion;
using Bytes = std::vector<std::uint8_t>;

bool Same(const std::optional<FixedFileVersion>& a, const std::optional<FixedFileVersion>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (a->fileVersionMS == b->fileVersionMS && a->fileVersionLS == b->fileVersionLS);
}

std::string Text(const std::optional<FixedFileVersion>& v) {
    if (!v) return "none";
    return std::to_string(v->fileVersionMS >> 16) + "." +
           std::to_string(v->fileVersionMS & 0xFFFF) + "." +
           std::to_string(v->fileVersionLS >> 16) + "." + std::to_string(v->fileVersionLS & 0xFFFF);
}

// Reads a copy of exactly `size` bytes on the heap, so that the address sanitizer sees any
// read past the end.
std::optional<FixedFileVersion> ReadExactly(const Bytes& bytes, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size == 0 ? 1 : size]);
    if (size != 0) std::memcpy(copy.get(), bytes.data(), size);
    return ReadPeFileVersion(copy.get(), size);
}

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

// A minimal PE file built by hand, so that every structure the reader walks sits at a known
// offset: one section ".rsrc" holding a three-level resource tree with one version block.
struct Synthetic {
    static constexpr std::size_t kPe = 0x80;
    static constexpr std::size_t kCoff = kPe + 4;
    static constexpr std::size_t kOptional = kCoff + 20;
    static constexpr std::size_t kRaw = 0x200;
    static constexpr std::uint32_t kVa = 0x3000;
    static constexpr std::size_t kRoot = kRaw;
    static constexpr std::size_t kNames = kRaw + 0x18;
    static constexpr std::size_t kLanguages = kRaw + 0x30;
    static constexpr std::size_t kDataEntry = kRaw + 0x48;
    static constexpr std::size_t kBlock = kRaw + 0x60;
    static constexpr std::size_t kFixed = kBlock + 40;
    static constexpr std::uint32_t kMS = 0x0005000C;  // 5.12
    static constexpr std::uint32_t kLS = 0x00010A00;  // 1.2560

    explicit Synthetic(bool plus) : plus(plus), bytes(0x400, 0) {
        bytes[0] = 'M';
        bytes[1] = 'Z';
        Put32(bytes, 0x3C, kPe);
        std::memcpy(&bytes[kPe], "PE\0\0", 4);
        Put16(bytes, kCoff, plus ? 0x8664 : 0x14c);
        Put16(bytes, kCoff + 2, 1);
        Put16(bytes, kCoff + 16, static_cast<std::uint16_t>(OptionalSize()));
        Put16(bytes, kOptional, plus ? 0x20b : 0x10b);
        Put32(bytes, RvaCount(), 16);
        Put32(bytes, ResourceDirectory(), kVa);
        Put32(bytes, ResourceDirectory() + 4, 0x100);
        const std::size_t s = SectionTable();
        std::memcpy(&bytes[s], ".rsrc", 5);
        Put32(bytes, s + 8, 0x200);   // virtual size
        Put32(bytes, s + 12, kVa);    // virtual address
        Put32(bytes, s + 16, 0x200);  // raw size
        Put32(bytes, s + 20, kRaw);   // raw pointer

        Directory(kRoot, 16, 0x80000000u | (kNames - kRaw));
        Directory(kNames, 1, 0x80000000u | (kLanguages - kRaw));
        Directory(kLanguages, 0x409, kDataEntry - kRaw);
        Put32(bytes, kDataEntry, static_cast<std::uint32_t>(kVa + (kBlock - kRaw)));
        Put32(bytes, kDataEntry + 4, 92);

        Put16(bytes, kBlock, 92);
        Put16(bytes, kBlock + 2, 52);
        const char16_t key[] = u"VS_VERSION_INFO";
        for (std::size_t i = 0; i < 16; ++i) Put16(bytes, kBlock + 6 + 2 * i, key[i]);
        Put32(bytes, kFixed, 0xFEEF04BD);
        Put32(bytes, kFixed + 4, 0x00010000);
        Put32(bytes, kFixed + 8, kMS);
        Put32(bytes, kFixed + 12, kLS);
    }

    std::size_t OptionalSize() const { return plus ? 240 : 224; }
    std::size_t RvaCount() const { return kOptional + (plus ? 108 : 92); }
    std::size_t ResourceDirectory() const { return kOptional + (plus ? 112 : 96) + 16; }
    std::size_t SectionTable() const { return kOptional + OptionalSize(); }

    // A directory with one ID entry.
    void Directory(std::size_t at, std::uint32_t id, std::uint32_t target) {
        Put16(bytes, at + 14, 1);
        Put32(bytes, at + 16, id);
        Put32(bytes, at + 20, target);
    }

    std::optional<FixedFileVersion> Read() const { return ReadExactly(bytes, bytes.size()); }

    bool plus;
    Bytes bytes;
};

TEST(PeVersionSynthetic, ReadsPe32AndPe32Plus) {
    for (const bool plus : {false, true}) {
        const auto v = Synthetic(plus).Read();
        ASSERT_TRUE(v.has_value()) << "plus=" << plus;
        EXPECT_EQ(v->fileVersionMS, Synthetic::kMS);
        EXPECT_EQ(v->fileVersionLS, Synthetic::kLS);
    }
}

TEST(PeVersionSynthetic, WalksPastOtherTypesAndTakesFirstNameAndLanguage) {
    Synthetic pe(false);
    // A second tree at 0x100 in the section, with the resource base moved there. Root: a
    // named type whose name offset happens to be 16, type 6, then RT_VERSION (16). Entries
    // that the walk must not follow point past the section.
    const std::size_t root = Synthetic::kRaw + 0x100;
    Put32(pe.bytes, pe.ResourceDirectory(), Synthetic::kVa + 0x100);
    Put16(pe.bytes, root + 12, 1);
    Put16(pe.bytes, root + 14, 2);
    Put32(pe.bytes, root + 16, 0x80000000u | 16);
    Put32(pe.bytes, root + 20, 0x80000000u | 0x1F0);
    Put32(pe.bytes, root + 24, 6);
    Put32(pe.bytes, root + 28, 0x80000000u | 0x1F0);
    Put32(pe.bytes, root + 32, 16);
    Put32(pe.bytes, root + 36, 0x80000000u | 0x40);
    const std::size_t names = root + 0x40;
    Put16(pe.bytes, names + 14, 2);
    Put32(pe.bytes, names + 16, 1);
    Put32(pe.bytes, names + 20, 0x80000000u | 0x60);
    Put32(pe.bytes, names + 24, 2);
    Put32(pe.bytes, names + 28, 0x80000000u | 0x1F0);
    const std::size_t languages = root + 0x60;
    Put16(pe.bytes, languages + 14, 2);
    Put32(pe.bytes, languages + 16, 0x409);
    Put32(pe.bytes, languages + 20, 0x80);
    Put32(pe.bytes, languages + 24, 0x407);
    Put32(pe.bytes, languages + 28, 0x1F0);
    // The data entry still points at the original version block by RVA.
    std::memcpy(&pe.bytes[root + 0x80], &pe.bytes[Synthetic::kDataEntry], 16);
    const auto v = pe.Read();
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->fileVersionMS, Synthetic::kMS);

    // Named entries are never taken for RT_VERSION, whatever their name offset.
    Put32(pe.bytes, root + 32, 17);
    EXPECT_FALSE(pe.Read().has_value());
}

TEST(PeVersionSynthetic, MalformedHeadersGiveNothing) {
    struct Case {
        const char* what;
        std::function<void(Synthetic&)> damage;
    };
    const std::vector<Case> cases = {
        {"no MZ", [](Synthetic& p) { p.bytes[1] = 'X'; }},
        {"PE offset past the end", [](Synthetic& p) { Put32(p.bytes, 0x3C, 0xFFFFFFFF); }},
        {"PE offset at the very end", [](Synthetic& p) { Put32(p.bytes, 0x3C, 0x3FE); }},
        {"no PE signature", [](Synthetic& p) { p.bytes[Synthetic::kPe + 2] = 1; }},
        {"bad magic", [](Synthetic& p) { Put16(p.bytes, Synthetic::kOptional, 0x107); }},
        {"PE32 magic on a PE32+ layout",
         [](Synthetic& p) { Put16(p.bytes, Synthetic::kOptional, p.plus ? 0x10b : 0x20b); }},
        {"optional header too small for the resource directory",
         [](Synthetic& p) { Put16(p.bytes, Synthetic::kCoff + 16, 100); }},
        {"optional header larger than the file",
         [](Synthetic& p) { Put16(p.bytes, Synthetic::kCoff + 16, 0xFFFF); }},
        {"only two data directories", [](Synthetic& p) { Put32(p.bytes, p.RvaCount(), 2); }},
        {"no resource directory", [](Synthetic& p) { Put32(p.bytes, p.ResourceDirectory(), 0); }},
        {"resource directory of size 0",
         [](Synthetic& p) { Put32(p.bytes, p.ResourceDirectory() + 4, 0); }},
        {"huge resource RVA",
         [](Synthetic& p) { Put32(p.bytes, p.ResourceDirectory(), 0xFFFFFFF0); }},
        {"resource RVA outside every section",
         [](Synthetic& p) { Put32(p.bytes, p.ResourceDirectory(), 0x9000); }},
        {"huge section count", [](Synthetic& p) { Put16(p.bytes, Synthetic::kCoff + 2, 0xFFFF); }},
        {"no sections", [](Synthetic& p) { Put16(p.bytes, Synthetic::kCoff + 2, 0); }},
        {"huge raw pointer",
         [](Synthetic& p) { Put32(p.bytes, p.SectionTable() + 20, 0xFFFFFE00); }},
        {"raw pointer past the end",
         [](Synthetic& p) { Put32(p.bytes, p.SectionTable() + 20, 0x400); }},
        {"raw data ends before the version block",
         [](Synthetic& p) { Put32(p.bytes, p.SectionTable() + 16, 0x90); }},
        {"raw size 0", [](Synthetic& p) { Put32(p.bytes, p.SectionTable() + 16, 0); }},
        {"virtual size ends before the version block",
         [](Synthetic& p) { Put32(p.bytes, p.SectionTable() + 8, 0x80); }},
        {"section near the top of the address space",
         [](Synthetic& p) {
             Put32(p.bytes, p.SectionTable() + 12, 0xFFFFFF00);
             Put32(p.bytes, p.ResourceDirectory(), 0xFFFFFF00);
         }},
    };
    for (const bool plus : {false, true}) {
        for (const Case& c : cases) {
            Synthetic pe(plus);
            c.damage(pe);
            EXPECT_FALSE(pe.Read().has_value()) << c.what << " plus=" << plus;
        }
    }
}

TEST(PeVersionSynthetic, MalformedResourceTreeGivesNothing) {
    constexpr std::size_t kRoot = Synthetic::kRoot;
    constexpr std::size_t kNames = Synthetic::kNames;
    constexpr std::size_t kLanguages = Synthetic::kLanguages;
    constexpr std::size_t kData = Synthetic::kDataEntry;
    constexpr std::size_t kBlock = Synthetic::kBlock;
    struct Case {
        const char* what;
        std::function<void(Synthetic&)> damage;
    };
    const std::vector<Case> cases = {
        {"no RT_VERSION type", [](Synthetic& p) { Put32(p.bytes, kRoot + 16, 6); }},
        {"root without entries", [](Synthetic& p) { Put16(p.bytes, kRoot + 14, 0); }},
        {"huge entry counts without RT_VERSION run off the section",
         [](Synthetic& p) {
             Put16(p.bytes, kRoot + 12, 0xFFFF);
             Put16(p.bytes, kRoot + 14, 0xFFFF);
             Put32(p.bytes, kRoot + 16, 17);
         }},
        {"type entry is not a directory",
         [](Synthetic& p) { Put32(p.bytes, kRoot + 20, kNames - Synthetic::kRaw); }},
        {"type points back at the root (a cycle)",
         [](Synthetic& p) { Put32(p.bytes, kRoot + 20, 0x80000000u); }},
        {"name level points at itself",
         [](Synthetic& p) {
             Put32(p.bytes, kNames + 20, 0x80000000u | (kNames - Synthetic::kRaw));
         }},
        {"language level is a directory",
         [](Synthetic& p) {
             Put32(p.bytes, kLanguages + 20, 0x80000000u | (kLanguages - Synthetic::kRaw));
         }},
        {"name level without entries", [](Synthetic& p) { Put16(p.bytes, kNames + 14, 0); }},
        {"language level without entries",
         [](Synthetic& p) { Put16(p.bytes, kLanguages + 14, 0); }},
        {"subdirectory offset past the section",
         [](Synthetic& p) { Put32(p.bytes, kRoot + 20, 0xFFFFFFFF); }},
        {"data entry offset past the section",
         [](Synthetic& p) { Put32(p.bytes, kLanguages + 20, 0x7FFFFFF0); }},
        {"data RVA huge", [](Synthetic& p) { Put32(p.bytes, kData, 0xFFFFFFF0); }},
        {"data RVA outside every section", [](Synthetic& p) { Put32(p.bytes, kData, 0x100); }},
        {"data RVA at the last byte of the section",
         [](Synthetic& p) { Put32(p.bytes, kData, Synthetic::kVa + 0x1FF); }},
        {"data size smaller than the fixed info",
         [](Synthetic& p) { Put32(p.bytes, kData + 4, 60); }},
        {"data size 0", [](Synthetic& p) { Put32(p.bytes, kData + 4, 0); }},
        {"block length smaller than the fixed info",
         [](Synthetic& p) { Put16(p.bytes, kBlock, 60); }},
        {"value length 0", [](Synthetic& p) { Put16(p.bytes, kBlock + 2, 0); }},
        {"value length short of the fixed info",
         [](Synthetic& p) { Put16(p.bytes, kBlock + 2, 51); }},
        {"wrong key", [](Synthetic& p) { Put16(p.bytes, kBlock + 6, 'v'); }},
        {"key not terminated", [](Synthetic& p) { Put16(p.bytes, kBlock + 6 + 30, 'X'); }},
        {"wrong signature", [](Synthetic& p) { Put32(p.bytes, Synthetic::kFixed, 0xFEEF04BC); }},
    };
    for (const bool plus : {false, true}) {
        for (const Case& c : cases) {
            Synthetic pe(plus);
            c.damage(pe);
            EXPECT_FALSE(pe.Read().has_value()) << c.what << " plus=" << plus;
        }
    }
}

TEST(PeVersionSynthetic, ToleratesWhatWindowsTolerates) {
    // A directory size that overstates the data, a data size larger than the block and a
    // virtual size of 0 (the raw size counts then) do not stop the version functions.
    Synthetic big(false);
    Put32(big.bytes, big.ResourceDirectory() + 4, 0xFFFFFFFF);
    Put32(big.bytes, Synthetic::kDataEntry + 4, 0xFFFFFFFF);
    Put32(big.bytes, big.SectionTable() + 8, 0);
    EXPECT_TRUE(Same(big.Read(), FixedFileVersion{Synthetic::kMS, Synthetic::kLS}));
}

TEST(PeVersionSynthetic, EveryTruncationAndByteFlipIsSafe) {
    for (const bool plus : {false, true}) {
        const Synthetic pe(plus);
        const auto whole = pe.Read();
        ASSERT_TRUE(whole.has_value());
        // The fixed info is the last thing the reader needs: any shorter file fails.
        const std::size_t needed = Synthetic::kFixed + 52;
        for (std::size_t size = 0; size < pe.bytes.size(); ++size) {
            const auto v = ReadExactly(pe.bytes, size);
            if (size < needed) {
                EXPECT_FALSE(v.has_value()) << "size " << size;
            } else {
                EXPECT_TRUE(Same(v, whole)) << "size " << size;
            }
        }
        for (std::size_t at = 0; at < pe.bytes.size(); ++at) {
            for (const std::uint8_t mask : {0x01, 0x80, 0xFF}) {
                Bytes damaged = pe.bytes;
                damaged[at] ^= mask;
                const auto v = ReadExactly(damaged, damaged.size());
                if (at >= Synthetic::kFixed + 8 && at < Synthetic::kFixed + 16) {
                    EXPECT_TRUE(v.has_value() && !Same(v, whole)) << "offset " << at;
                } else {
                    EXPECT_TRUE(!v || Same(v, whole)) << "offset " << at << ": " << Text(v);
                }
            }
        }
    }
}

TEST(PeVersionInput, NullAndTinyInputs) {
    EXPECT_FALSE(ReadPeFileVersion(nullptr, 0).has_value());
    EXPECT_FALSE(ReadPeFileVersion(nullptr, 4096).has_value());
    const Bytes mz = {'M', 'Z'};
    EXPECT_FALSE(ReadExactly(mz, mz.size()).has_value());
    EXPECT_FALSE(ReadExactly(mz, 0).has_value());
}

// ---- Real DLLs and drivers built with mingw-w64 ----

#ifdef CALVENOR_PE_FIXTURES
const fs::path kFixtures = CALVENOR_PE_FIXTURES;
#define REQUIRE_FIXTURES()
#else
const fs::path kFixtures;
#define REQUIRE_FIXTURES() GTEST_SKIP() << "mingw-w64 was not found when configuring"
#endif

Bytes Load(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Fixture {
    const char* file;
    std::uint32_t ms;
    std::uint32_t ls;
};

const Fixture kVersioned[] = {
    {"v5_12_1_2560_x86.dll", 0x0005000C, 0x00010A00},
    {"v5_12_1_2560_x64.dll", 0x0005000C, 0x00010A00},
    {"v5_0_2169_1_x86.dll", 0x00050000, 0x08790001},
    {"v5_0_2169_1_x64.dll", 0x00050000, 0x08790001},
    {"v65535_0_32768_1_x86.dll", 0xFFFF0000, 0x80000001},
    {"v65535_0_32768_1_x64.dll", 0xFFFF0000, 0x80000001},
    {"v5_10_2500_49_x86.sys", 0x0005000A, 0x09C40031},
};

TEST(PeVersionFiles, ReadsTheFileVersionOf32And64BitFiles) {
    REQUIRE_FIXTURES();
    for (const Fixture& f : kVersioned) {
        const auto v = platform::ReadPeFileVersionFile(kFixtures / f.file);
        ASSERT_TRUE(v.has_value()) << f.file;
        EXPECT_EQ(v->fileVersionMS, f.ms) << f.file;
        EXPECT_EQ(v->fileVersionLS, f.ls) << f.file;
    }
}

TEST(PeVersionFiles, FilesWithoutVersionOrNotPeGiveNothing) {
    REQUIRE_FIXTURES();
    EXPECT_FALSE(platform::ReadPeFileVersionFile(kFixtures / "noversion_x86.dll").has_value());
    EXPECT_FALSE(platform::ReadPeFileVersionFile(kFixtures / "noversion_x64.dll").has_value());
    // The resource object windres made: COFF, not PE, though it holds the version.
    EXPECT_FALSE(
        platform::ReadPeFileVersionFile(kFixtures / "v5_12_1_2560_x86.dll.res.o").has_value());
    EXPECT_FALSE(
        platform::ReadPeFileVersionFile(kFixtures / "v5_12_1_2560_x86.dll.rc").has_value());
    EXPECT_FALSE(platform::ReadPeFileVersionFile(kFixtures / "missing.dll").has_value());
}

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "calvenor-pe-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

TEST(PeVersionFiles, OnlyRegularFilesWithinTheSizeCapAreRead) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    // An empty file, a FIFO with no writer (opening it must not wait), a folder, a device.
    std::ofstream(dir.path() / "empty.dll").close();
    EXPECT_FALSE(platform::ReadPeFileVersionFile(dir.path() / "empty.dll").has_value());
    const fs::path fifo = dir.path() / "fifo.dll";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(platform::ReadPeFileVersionFile(fifo).has_value());
    EXPECT_FALSE(platform::ReadPeFileVersionFile(dir.path()).has_value());
    EXPECT_FALSE(platform::ReadPeFileVersionFile("/dev/zero").has_value());

    // A valid PE file padded past the cap is refused; at the cap it is read.
    const Synthetic pe(false);
    for (const std::size_t size : {platform::kMaxPeFileSize, platform::kMaxPeFileSize + 1}) {
        const fs::path big = dir.path() / "big.dll";
        {
            std::ofstream out(big, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(pe.bytes.data()),
                      static_cast<std::streamsize>(pe.bytes.size()));
        }
        fs::resize_file(big, size);
        EXPECT_EQ(platform::ReadPeFileVersionFile(big).has_value(),
                  size <= platform::kMaxPeFileSize)
            << size;
    }
}

TEST(PeVersionFiles, TruncatedCopiesGiveNothingOrTheRightVersion) {
    REQUIRE_FIXTURES();
    for (const char* file : {"v5_12_1_2560_x86.dll", "v5_0_2169_1_x64.dll"}) {
        const Bytes bytes = Load(kFixtures / file);
        ASSERT_GT(bytes.size(), 1024u) << file;
        const auto whole = ReadExactly(bytes, bytes.size());
        ASSERT_TRUE(whole.has_value());
        std::size_t found = 0;
        for (std::size_t size = 0; size <= bytes.size(); ++size) {
            const auto v = ReadExactly(bytes, size);
            EXPECT_TRUE(!v || Same(v, whole)) << file << " size " << size;
            if (v) ++found;
        }
        // The resource section is last in these files: only near-whole copies still hold it.
        EXPECT_GT(found, 0u);
        EXPECT_LT(found, bytes.size() / 2) << file;
    }
}

// The offset of the fixed info in a file, found by its signature.
std::size_t FixedInfoOffset(const Bytes& bytes) {
    const std::uint8_t signature[] = {0xBD, 0x04, 0xEF, 0xFE};
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at) {
        if (std::memcmp(&bytes[at], signature, 4) == 0) return at;
    }
    return bytes.size();
}

TEST(PeVersionFiles, FlippedBytesGiveNothingOrTheRightVersion) {
    REQUIRE_FIXTURES();
    for (const char* file : {"v5_12_1_2560_x86.dll", "v65535_0_32768_1_x64.dll"}) {
        const Bytes bytes = Load(kFixtures / file);
        const auto whole = ReadExactly(bytes, bytes.size());
        ASSERT_TRUE(whole.has_value());
        const std::size_t fixed = FixedInfoOffset(bytes);
        ASSERT_LT(fixed, bytes.size());
        std::size_t broken = 0;
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            Bytes damaged = bytes;
            damaged[at] ^= 0xFF;
            const auto v = ReadExactly(damaged, damaged.size());
            if (at >= fixed + 8 && at < fixed + 16) {
                EXPECT_TRUE(v.has_value() && !Same(v, whole)) << file << " offset " << at;
            } else {
                EXPECT_TRUE(!v || Same(v, whole)) << file << " offset " << at << ": " << Text(v);
            }
            if (!v) ++broken;
        }
        // Flips in the headers and the resource tree must have been noticed.
        EXPECT_GT(broken, 20u) << file;
    }
}

// ---- The version text ----

class VersionPlatform : public platform::Platform {
  public:
    bool GetVersionEx(platform::OsVersion&) override { return false; }
    std::optional<FixedFileVersion> FileVersion(const std::string& name) override {
        names.push_back(name);
        return answer;
    }
    std::string LocateFile(const std::string&) override { return ""; }
    platform::FileSize SizeOfFile(const std::string&) override { return {}; }
    std::string StartFolder() override { return ""; }
    bool StartProcess(const std::string&) override { return false; }

    std::optional<FixedFileVersion> answer;
    std::vector<std::string> names;
};

TEST(FileVersionTextFormat, PartsAreSigned16BitDecimals) {
    struct Row {
        std::uint32_t ms, ls;
        const char* text;
    };
    const Row table[] = {
        {0x0005000C, 0x00010A00, "5.12.1.2560"},
        {0x00050000, 0x08790001, "5.0.2169.1"},
        {0xFFFF0000, 0x80000001, "-1.0.-32768.1"},
        {0x7FFF8001, 0xFFFE7FFF, "32767.-32767.-2.32767"},
        {0, 0, "0.0.0.0"},
        {0x0050000, 0x00000003, "5.0.0.3"},
    };
    for (const Row& row : table) {
        VersionPlatform p;
        p.answer = FixedFileVersion{row.ms, row.ls};
        EXPECT_EQ(detect::FileVersionText(p, "drivers\\adm8830.sys"), row.text);
        EXPECT_EQ(p.names, std::vector<std::string>{"drivers\\adm8830.sys"});
    }
    VersionPlatform none;
    EXPECT_EQ(detect::FileVersionText(none, "a3d.dll"), "N/A");
}

TEST(FileVersionTextFormat, RealFilesThroughTheLinuxPlatform) {
    REQUIRE_FIXTURES();
    TempDir dir;
    const fs::path windows = dir.path() / "WINDOWS";
    fs::create_directories(windows / "System32" / "Drivers");
    fs::copy_file(kFixtures / "v5_12_1_2560_x86.dll",
                  windows / "System32" / "Drivers" / "ADM8830.SYS");
    fs::copy_file(kFixtures / "v5_0_2169_1_x64.dll", windows / "System32" / "A3D.DLL");
    fs::copy_file(kFixtures / "v65535_0_32768_1_x86.dll", windows / "System32" / "a3dapi.dll");
    fs::copy_file(kFixtures / "noversion_x64.dll",
                  windows / "System32" / "Drivers" / "admaud30.sys");
    std::ofstream(windows / "System32" / "empty.dll").close();
    std::ofstream(windows / "System32" / "text.dll") << "MZ but not much else";

    struct Unused : platform::RegistryBackend {
        long OpenKey(platform::HKey, const std::string&, std::uint32_t, platform::HKey*) override {
            return platform::winerr::kFileNotFound;
        }
        long CreateKeyEx(platform::HKey, const std::string&, std::uint32_t, std::uint32_t,
                         platform::HKey*) override {
            return platform::winerr::kAccessDenied;
        }
        long CreateKey(platform::HKey, const std::string&, platform::HKey*) override {
            return platform::winerr::kAccessDenied;
        }
        long QueryValue(platform::HKey, const std::string&, std::uint32_t*, std::uint8_t*,
                        std::uint32_t*) override {
            return platform::winerr::kInvalidHandle;
        }
        long SetValue(platform::HKey, const std::string&, std::uint32_t, const std::uint8_t*,
                      std::uint32_t) override {
            return platform::winerr::kInvalidHandle;
        }
        long DeleteValue(platform::HKey, const std::string&) override {
            return platform::winerr::kInvalidHandle;
        }
        long CloseKey(platform::HKey) override { return platform::winerr::kSuccess; }
    } registry;

    platform::PosixPlatform p(platform::NtVersionQuery(registry), windows.string(),
                              dir.path().string());
    EXPECT_EQ(detect::FileVersionText(p, "drivers\\adm8830.sys"), "5.12.1.2560");
    EXPECT_EQ(detect::FileVersionText(p, "a3d.dll"), "5.0.2169.1");
    EXPECT_EQ(detect::FileVersionText(p, "a3dapi.dll"), "-1.0.-32768.1");
    EXPECT_EQ(detect::FileVersionText(p, "drivers\\admaud30.sys"), "N/A");
    EXPECT_EQ(detect::FileVersionText(p, "empty.dll"), "N/A");
    EXPECT_EQ(detect::FileVersionText(p, "text.dll"), "N/A");
    EXPECT_EQ(detect::FileVersionText(p, "missing.dll"), "N/A");

    platform::PosixPlatform noWindows(platform::NtVersionQuery(registry), "", dir.path().string());
    EXPECT_EQ(detect::FileVersionText(noWindows, "drivers\\adm8830.sys"), "N/A");
}

}  // namespace
