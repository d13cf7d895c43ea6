#include "detect/windows_version.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using detect::Classify;
using detect::WindowsVersionInfo;
using platform::OsVersion;

std::string CsdBuffer(const std::string& text) {
    std::string buffer = text;
    buffer.resize(128, '\0');
    return buffer;
}

OsVersion Os(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
             std::uint32_t build = 0, const std::string& csd = CsdBuffer("")) {
    OsVersion os;
    os.platformId = platformId;
    os.major = major;
    os.minor = minor;
    os.build = build;
    os.csdVersion = csd;
    return os;
}

TEST(WindowsVersionClassify, ClassificationTable) {
    struct Row {
        std::uint32_t platformId, major, minor;
        std::int32_t kind;
        const char* name;
    };
    const std::vector<Row> table = {
        {0, 0, 0, 2, "Windows 32s"},
        {0, 3, 11, 2, "Windows 32s"},
        {1, 4, 0, 3, "Windows 95"},
        {1, 7, 0, 3, "Windows 95"},
        {1, 4, 10, 4, "Windows 98"},
        {1, 99, 10, 4, "Windows 98"},
        {1, 4, 90, 5, "Windows ME"},
        {1, 4, 1, 0, "Unknown"},
        {1, 4, 91, 0, "Unknown"},
        {2, 3, 51, 32, "Windows NT3"},
        {2, 3, 0, 32, "Windows NT3"},
        {2, 4, 0, 33, "Windows NT4"},
        {2, 4, 90, 33, "Windows NT4"},
        {2, 5, 0, 34, "Windows 2000"},
        {2, 5, 1, 35, "Windows XP"},
        {2, 5, 2, 0, "Unknown"},
        {2, 6, 0, 0, "Unknown"},
        {2, 6, 1, 0, "Unknown"},
        {2, 10, 0, 0, "Unknown"},
        {2, 2, 1, 0, "Unknown"},
        {3, 5, 1, 0, "0"},
        {3, 0, 0, 0, "0"},
        {0xFFFFFFFFu, 5, 1, 0, "0"},
    };
    for (const Row& row : table) {
        WindowsVersionInfo info;
        Classify(Os(row.platformId, row.major, row.minor), info);
        EXPECT_EQ(info.kind, row.kind) << row.platformId << " " << row.major << "." << row.minor;
        EXPECT_EQ(info.name, row.name) << row.platformId << " " << row.major << "." << row.minor;
        EXPECT_EQ(info.major, static_cast<std::int32_t>(row.major));
        EXPECT_EQ(info.minor, static_cast<std::int32_t>(row.minor));
        EXPECT_EQ(info.platform, static_cast<std::int32_t>(row.platformId));
    }
}

TEST(WindowsVersionClassify, XpWhateverTheBuildAndServicePack) {
    for (const std::uint32_t build : {2600u, 0u, 3790u, 0xFFFFFFFFu}) {
        for (const char* sp : {"", "Service Pack 1", "Service Pack 3", "garbage"}) {
            WindowsVersionInfo info;
            Classify(Os(2, 5, 1, build, CsdBuffer(sp)), info);
            EXPECT_EQ(info.name, "Windows XP");
            EXPECT_EQ(info.kind, 35);
            EXPECT_EQ(info.servicePack, sp);
        }
    }
}

TEST(WindowsVersionClassify, BuildIsMaskedTo16BitsOnlyOnWindows9x) {
    WindowsVersionInfo nine;
    Classify(Os(1, 4, 10, 0x040A08AEu), nine);  // 98 SE: 4.10 in the high word, build 2222
    EXPECT_EQ(nine.build, 2222);

    WindowsVersionInfo nt;
    Classify(Os(2, 5, 1, 0x00010A28u), nt);
    EXPECT_EQ(nt.build, 0x00010A28);

    WindowsVersionInfo s32;
    Classify(Os(0, 3, 11, 0x12345678u), s32);
    EXPECT_EQ(s32.build, 0x12345678);
}

TEST(WindowsVersionClassify, ServicePackIsCutAtFirstNulAndTrimmedOfSpaces) {
    struct Row {
        std::string buffer;
        std::string expected;
    };
    const std::vector<Row> table = {
        {CsdBuffer("   Service Pack 2   "), "Service Pack 2"},
        {CsdBuffer("Service Pack 3"), "Service Pack 3"},
        {CsdBuffer(""), ""},
        {CsdBuffer("      "), ""},
        // Only spaces are trimmed, and only the text before the first NUL counts.
        {CsdBuffer("\tSP1\t"), "\tSP1\t"},
        {CsdBuffer(std::string("SP1\0junk after", 14)), "SP1"},
        // A full buffer without any NUL gives no service pack at all.
        {std::string(128, 'x'), ""},
        {std::string(128, ' '), ""},
        // The NUL has to be inside the 128-character buffer.
        {std::string(128, 'x') + std::string("\0", 1), ""},
        {std::string(127, 'x') + std::string("\0", 1), std::string(127, 'x')},
    };
    for (const Row& row : table) {
        WindowsVersionInfo info;
        Classify(Os(2, 5, 1, 2600, row.buffer), info);
        EXPECT_EQ(info.servicePack, row.expected);
    }
}

class FixedVersionPlatform : public platform::Platform {
  public:
    explicit FixedVersionPlatform(std::optional<OsVersion> answer) : answer_(std::move(answer)) {}
    bool GetVersionEx(OsVersion& out) override {
        ++queries;
        if (!answer_) return false;
        out = *answer_;
        return true;
    }
    std::optional<platform::FixedFileVersion> FileVersion(const std::string&) override {
        return std::nullopt;
    }
    std::string LocateFile(const std::string&) override { return ""; }
    platform::FileSize SizeOfFile(const std::string&) override { return {}; }
    std::string StartFolder() override { return ""; }
    bool StartProcess(const std::string&) override { return false; }
    int queries = 0;

  private:
    std::optional<OsVersion> answer_;
};

TEST(WindowsVersionClassify, ClassifyWindowsFillsTheRecordWhenTheQueryAnswers) {
    FixedVersionPlatform xp(Os(2, 5, 1, 2600, CsdBuffer(" Service Pack 3 ")));
    WindowsVersionInfo info;
    EXPECT_EQ(detect::ClassifyWindows(xp, info), 1);
    EXPECT_EQ(xp.queries, 1);
    EXPECT_EQ(info.name, "Windows XP");
    EXPECT_EQ(info.kind, 35);
    EXPECT_EQ(info.major, 5);
    EXPECT_EQ(info.minor, 1);
    EXPECT_EQ(info.build, 2600);
    EXPECT_EQ(info.platform, 2);
    EXPECT_EQ(info.servicePack, "Service Pack 3");
}

TEST(WindowsVersionClassify, FailedQueryLeavesTheRecordExactlyAsPassed) {
    FixedVersionPlatform failing(std::nullopt);
    WindowsVersionInfo info;
    info.kind = 7;
    info.name = "as passed";
    info.major = 1;
    info.minor = 2;
    info.build = 3;
    info.platform = 4;
    info.servicePack = "sp";
    EXPECT_EQ(detect::ClassifyWindows(failing, info), 0);
    EXPECT_EQ(info.kind, 7);
    EXPECT_EQ(info.name, "as passed");
    EXPECT_EQ(info.major, 1);
    EXPECT_EQ(info.minor, 2);
    EXPECT_EQ(info.build, 3);
    EXPECT_EQ(info.platform, 4);
    EXPECT_EQ(info.servicePack, "sp");
}

}  // namespace
