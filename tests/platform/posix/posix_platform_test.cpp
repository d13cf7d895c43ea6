#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "detect/windows_version.h"
#include "platform/posix/posix_platform.h"
#include "registry/nt_version.h"
#include "settings/schema.h"

namespace {

namespace fs = std::filesystem;
using platform::HKey;
using platform::PosixPlatform;
namespace winerr = platform::winerr;

// A registry of one level of keys, with the calls counted.
class FakeRegistry : public platform::RegistryBackend {
  public:
    struct Value {
        std::uint32_t type;
        std::string bytes;
    };

    void Set(const std::string& key, const std::string& name, std::uint32_t type,
             const std::string& bytes) {
        keys_[Fold(key)][name] = Value{type, bytes};
    }
    void Text(const std::string& name, const std::string& text, bool terminated = true) {
        Set(platform::nt_version::kKey, name, platform::REG_SZ,
            terminated ? text + std::string(1, '\0') : text);
    }

    long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) override {
        ++opens;
        accesses.push_back(access);
        if (root != platform::kHKLM || !keys_.count(Fold(path))) return winerr::kFileNotFound;
        *out = next_;
        handles_[next_++] = Fold(path);
        return winerr::kSuccess;
    }
    long CreateKeyEx(HKey, const std::string&, std::uint32_t, std::uint32_t, HKey*) override {
        ++writes;
        return winerr::kAccessDenied;
    }
    long CreateKey(HKey, const std::string&, HKey*) override {
        ++writes;
        return winerr::kAccessDenied;
    }
    long QueryValue(HKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
        if (!handles_.count(key)) return winerr::kInvalidHandle;
        const auto& values = keys_[handles_[key]];
        const auto it = values.find(name);
        if (it == values.end()) return winerr::kFileNotFound;
        if (type) *type = it->second.type;
        const auto needed = static_cast<std::uint32_t>(it->second.bytes.size());
        if (data == nullptr) {
            *size = needed;
            return winerr::kSuccess;
        }
        if (*size < needed) {
            *size = needed;
            return winerr::kMoreData;
        }
        std::copy(it->second.bytes.begin(), it->second.bytes.end(), data);
        *size = needed;
        return winerr::kSuccess;
    }
    long SetValue(HKey, const std::string&, std::uint32_t, const std::uint8_t*,
                  std::uint32_t) override {
        ++writes;
        return winerr::kAccessDenied;
    }
    long DeleteValue(HKey, const std::string&) override {
        ++writes;
        return winerr::kAccessDenied;
    }
    long CloseKey(HKey key) override {
        if (key == 0) return winerr::kSuccess;
        if (!handles_.erase(key)) return winerr::kInvalidHandle;
        ++closes;
        return winerr::kSuccess;
    }

    int opens = 0;
    int closes = 0;
    int writes = 0;
    std::vector<std::uint32_t> accesses;
    std::size_t OpenHandles() const { return handles_.size(); }

  private:
    static std::string Fold(std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }
    std::map<std::string, std::map<std::string, Value>> keys_;
    std::map<HKey, std::string> handles_;
    HKey next_ = 1;
};

std::string Nuls(std::size_t n) {
    return std::string(n, '\0');
}

// ---- The version query ----

TEST(PosixVersionQuery, ReadsAnXpInstallationsRecord) {
    FakeRegistry registry;
    registry.Text("CurrentVersion", "5.1");
    registry.Text("CurrentBuildNumber", "2600");
    registry.Text("CSDVersion", "Service Pack 3");
    PosixPlatform p(platform::NtVersionQuery(registry), "", "");
    platform::OsVersion os;
    ASSERT_TRUE(p.GetVersionEx(os));
    EXPECT_EQ(os.platformId, 2u);
    EXPECT_EQ(os.major, 5u);
    EXPECT_EQ(os.minor, 1u);
    EXPECT_EQ(os.build, 2600u);
    EXPECT_EQ(os.csdVersion, "Service Pack 3" + Nuls(128 - 14));
    // Read with query access only, never written, and every key closed again.
    EXPECT_EQ(registry.writes, 0);
    EXPECT_EQ(registry.OpenHandles(), 0u);
    for (const std::uint32_t access : registry.accesses)
        EXPECT_EQ(access, platform::kKeyQueryValue);

    detect::WindowsVersionInfo info;
    EXPECT_EQ(detect::ClassifyWindows(p, info), 1);
    EXPECT_EQ(info.name, "Windows XP");
    EXPECT_EQ(info.servicePack, "Service Pack 3");
    EXPECT_EQ(info.build, 2600);
}

TEST(PosixVersionQuery, TextsWithoutTerminatorAndMissingOptionalValues) {
    FakeRegistry registry;
    registry.Text("CurrentVersion", "6.0", false);
    PosixPlatform p(platform::NtVersionQuery(registry), "", "");
    platform::OsVersion os;
    ASSERT_TRUE(p.GetVersionEx(os));
    EXPECT_EQ(os.major, 6u);
    EXPECT_EQ(os.minor, 0u);
    EXPECT_EQ(os.build, 0u);
    EXPECT_EQ(os.csdVersion, Nuls(128));
    detect::WindowsVersionInfo info;
    detect::ClassifyWindows(p, info);
    EXPECT_EQ(info.name, "Unknown");
    EXPECT_EQ(info.servicePack, "");
}

TEST(PosixVersionQuery, OverlongServicePackKeepsItsTerminator) {
    FakeRegistry registry;
    registry.Text("CurrentVersion", "5.1");
    registry.Text("CSDVersion", std::string(200, 'x'));
    PosixPlatform p(platform::NtVersionQuery(registry), "", "");
    platform::OsVersion os;
    ASSERT_TRUE(p.GetVersionEx(os));
    EXPECT_EQ(os.csdVersion, std::string(127, 'x') + Nuls(1));
    detect::WindowsVersionInfo info;
    detect::ClassifyWindows(p, info);
    EXPECT_EQ(info.servicePack, std::string(127, 'x'));
}

TEST(PosixVersionQuery, FailsWithoutAReadableCurrentVersion) {
    struct Case {
        const char* what;
        std::function<void(FakeRegistry&)> setup;
    };
    const std::vector<Case> cases = {
        {"no key", [](FakeRegistry&) {}},
        {"no CurrentVersion", [](FakeRegistry& r) { r.Text("CurrentBuildNumber", "2600"); }},
        {"a number, not a text",
         [](FakeRegistry& r) {
             r.Set(platform::nt_version::kKey, "CurrentVersion", platform::REG_DWORD,
                   std::string("\x05\0\0\0", 4));
         }},
        {"no minor", [](FakeRegistry& r) { r.Text("CurrentVersion", "5"); }},
        {"empty minor", [](FakeRegistry& r) { r.Text("CurrentVersion", "5."); }},
        {"letters", [](FakeRegistry& r) { r.Text("CurrentVersion", "five.one"); }},
        {"three parts", [](FakeRegistry& r) { r.Text("CurrentVersion", "5.1.2600"); }},
        {"blank", [](FakeRegistry& r) { r.Text("CurrentVersion", " 5.1"); }},
        {"negative", [](FakeRegistry& r) { r.Text("CurrentVersion", "-5.1"); }},
        {"out of range", [](FakeRegistry& r) { r.Text("CurrentVersion", "4294967296.1"); }},
        {"empty", [](FakeRegistry& r) { r.Text("CurrentVersion", ""); }},
    };
    for (const Case& c : cases) {
        FakeRegistry registry;
        c.setup(registry);
        PosixPlatform p(platform::NtVersionQuery(registry), "", "");
        platform::OsVersion os;
        os.major = 77;
        os.csdVersion = "untouched";
        EXPECT_FALSE(p.GetVersionEx(os)) << c.what;
        EXPECT_EQ(os.major, 77u) << c.what;
        EXPECT_EQ(os.csdVersion, "untouched") << c.what;
        EXPECT_EQ(registry.OpenHandles(), 0u) << c.what;
    }
}

// ---- Finding files in a Windows folder ----

class PosixPlatformFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "calvenor-platform-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        windows_ = root_ / "WINDOWS";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    // Creates a file holding its own relative path, with the folders on the way.
    fs::path Make(const fs::path& relative) {
        const fs::path path = root_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << relative.string();
        return path;
    }

    fs::path root_;
    fs::path windows_;
    FakeRegistry registry_;
};

TEST_F(PosixPlatformFiles, SearchesSystem32ThenSystemThenTheWindowsFolder) {
    const fs::path inSystem32 = Make("WINDOWS/System32/both.dll");
    Make("WINDOWS/SYSTEM/both.dll");
    const fs::path inSystem = Make("WINDOWS/SYSTEM/a3dapi.DLL");
    Make("WINDOWS/a3dapi.dll");
    const fs::path inWindows = Make("WINDOWS/Only.Dll");
    const fs::path driver = Make("WINDOWS/System32/DRIVERS/Adm8830.sys");
    Make("WINDOWS/drivers/admaud30.sys");  // not where the search looks for "drivers\..."
    Make("elsewhere.dll");

    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string() + "/", root_.string());
    EXPECT_EQ(p.LocateFile("both.dll"), inSystem32.string());
    EXPECT_EQ(p.LocateFile("BOTH.DLL"), inSystem32.string());
    EXPECT_EQ(p.LocateFile("a3dapi.dll"), inSystem.string());
    EXPECT_EQ(p.LocateFile("only.dll"), inWindows.string());
    EXPECT_EQ(p.LocateFile("drivers\\adm8830.sys"), driver.string());
    EXPECT_EQ(p.LocateFile("Drivers/ADM8830.SYS"), driver.string());
    EXPECT_EQ(p.LocateFile(".\\drivers\\.\\adm8830.sys"), driver.string());
    EXPECT_EQ(p.LocateFile("drivers\\admaud30.sys"), (windows_ / "drivers/admaud30.sys").string());
    EXPECT_EQ(p.LocateFile("missing.dll"), "");
    EXPECT_EQ(p.LocateFile("elsewhere.dll"), "");
}

TEST_F(PosixPlatformFiles, RefusesNamesThatLeaveTheFolderOrNameNoFile) {
    Make("WINDOWS/System32/drivers/adm8830.sys");
    Make("secret.dll");
    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string(), root_.string());
    for (const char* name :
         {"", "drivers", "drivers\\", "\\\\server\\share\\a.dll", "..\\..\\secret.dll",
          "drivers\\..\\..\\..\\secret.dll", "drivers\\\\adm8830.sys", "c:adm8830.sys",
          "drivers\\adm8830.sys:x", "\\secret.dll", "/secret.dll"}) {
        EXPECT_EQ(p.LocateFile(name), "") << name;
    }
}

TEST_F(PosixPlatformFiles, ExactCaseWinsAndOtherwiseTheChoiceIsStable) {
    const fs::path upper = Make("WINDOWS/system32/Foo.dll");
    const fs::path lower = Make("WINDOWS/system32/foo.dll");
    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string(), root_.string());
    EXPECT_EQ(p.LocateFile("foo.dll"), lower.string());
    EXPECT_EQ(p.LocateFile("Foo.dll"), upper.string());
    EXPECT_EQ(p.LocateFile("FOO.DLL"), upper.string());  // "Foo" sorts before "foo"
}

TEST_F(PosixPlatformFiles, RootedWindowsPathsMapOnlyIntoTheWindowsFolder) {
    const fs::path driver = Make("WINDOWS/System32/drivers/adm8830.sys");
    Make("other/x.dll");
    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string(), root_.string());
    EXPECT_EQ(p.LocateFile("C:\\WINDOWS\\system32\\drivers\\adm8830.sys"), driver.string());
    EXPECT_EQ(p.LocateFile("c:\\windows\\SYSTEM32\\DRIVERS\\ADM8830.SYS"), driver.string());
    EXPECT_EQ(p.LocateFile("\\windows\\system32\\drivers\\adm8830.sys"), driver.string());
    EXPECT_EQ(p.LocateFile("c:\\winnt\\system32\\drivers\\adm8830.sys"), "");
    EXPECT_EQ(p.LocateFile("c:\\other\\x.dll"), "");
    EXPECT_EQ(p.LocateFile("c:\\windows"), "");
}

TEST_F(PosixPlatformFiles, WithoutAWindowsFolderNothingIsFound) {
    Make("System32/a3d.dll");
    Make("a3d.dll");
    PosixPlatform p(platform::NtVersionQuery(registry_), "", root_.string());
    EXPECT_EQ(p.LocateFile("a3d.dll"), "");
    EXPECT_EQ(p.LocateFile("c:\\windows\\system32\\a3d.dll"), "");
    EXPECT_FALSE(p.FileVersion("a3d.dll").has_value());
}

// ---- File sizes ----

TEST_F(PosixPlatformFiles, SizesOfFilesNamedTheWaysTheCallersNameThem) {
    const fs::path driver = Make("WINDOWS/System32/Drivers/ADM8830.SYS");
    fs::resize_file(driver, 747392);
    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string(), windows_.string());
    EXPECT_EQ(p.StartFolder(), windows_.string());

    const platform::FileSize direct = p.SizeOfFile(driver.string());
    EXPECT_EQ(direct.failure, platform::SizeFailure::None);
    EXPECT_EQ(direct.bytes, 747392u);
    for (const std::string& path : {p.StartFolder() + "\\system32\\drivers\\adm8830.sys",
                                    std::string("c:\\windows\\system32\\drivers\\adm8830.sys")}) {
        const platform::FileSize size = p.SizeOfFile(path);
        EXPECT_EQ(size.failure, platform::SizeFailure::None) << path;
        EXPECT_EQ(size.bytes, 747392u) << path;
    }
}

TEST_F(PosixPlatformFiles, SizeFailuresTellInvalidNamesFromMissingFiles) {
    Make("WINDOWS/System32/drivers/adm8830.sys");
    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string(), root_.string());
    for (const std::string& path :
         {std::string(), std::string("c:\\win<dows\\a.sys"), std::string("a|b"),
          std::string("c:\\a\\b:c"), std::string("1:\\x"), std::string("what?.sys"),
          std::string("tab\there"), std::string("/tmp/nul\0inside", 15)}) {
        const platform::FileSize size = p.SizeOfFile(path);
        EXPECT_EQ(size.failure, platform::SizeFailure::InvalidName) << path;
        EXPECT_FALSE(size.bytes.has_value()) << path;
    }
    for (const std::string& path :
         {root_.string() + "/missing.sys", root_.string() + "\\system32\\drivers\\adm8830.sys",
          windows_.string() + "/System32", std::string("c:\\windows\\system32\\missing.sys"),
          std::string("d:\\other\\adm8830.sys"), std::string("relative\\missing.sys")}) {
        const platform::FileSize size = p.SizeOfFile(path);
        EXPECT_EQ(size.failure, platform::SizeFailure::Other) << path;
        EXPECT_FALSE(size.bytes.has_value()) << path;
    }
}

// ---- Starting programs ----

class Fifo {
  public:
    explicit Fifo(const fs::path& path) : path_(path) {
        if (mkfifo(path.c_str(), 0600) == 0) fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    }
    ~Fifo() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    const fs::path& path() const { return path_; }

    // Everything one writer writes, up to its close. Gives up after a generous wait so that a
    // child that never writes fails the test instead of hanging it.
    std::string ReadAll() {
        std::string text;
        bool seenWriter = false;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 30000) <= 0) return text + "<no writer>";
            char buffer[256];
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got > 0) {
                seenWriter = true;
                text.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 && (seenWriter || (p.revents & POLLHUP))) {
                return text;
            } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
                return text + "<read error>";
            }
        }
    }

  private:
    fs::path path_;
    int fd_ = -1;
};

TEST_F(PosixPlatformFiles, StartsProgramsAndReportsThoseThatCannotStart) {
    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string(), root_.string());
    EXPECT_TRUE(p.StartProcess("/bin/true"));
    EXPECT_TRUE(p.StartProcess("  true  "));  // found on the PATH
    EXPECT_TRUE(p.StartProcess("\"/bin/true\" ignored arguments"));

    const fs::path plain = Make("not-a-program");
    for (const std::string& line :
         {std::string(), std::string("   "), std::string("\"\" x"),
          std::string("/nonexistent/program"), std::string("calvenor-no-such-program-here"),
          std::string("sndvol32.exe"), std::string("C:\\AC97Mix\\AC97Mixer.exe"),
          std::string("Enter the program path here - i.e. C:\\AC97Mix\\AC97Mixer.exe"),
          plain.string(), root_.string()}) {
        EXPECT_FALSE(p.StartProcess(line)) << line;
    }

    // Neither the programs nor the helpers between are left as our children.
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixPlatformFiles, ArgumentsReachTheProgramExactlyAsWindowsWouldSplitThem) {
    Fifo fifo(root_ / "argv");
    ASSERT_TRUE(fifo.ok());
    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string(), root_.string());
    // The script prints each argument followed by "|".
    const std::string line = "/bin/sh -c \"for a; do printf '%s|' \\\"$a\\\"; done > " +
                             fifo.path().string() +
                             "\" probe \"a b\" c\\\"d \"e\\\\\\\"f\" g\\\\h \"\" 'single quoted'";
    ASSERT_TRUE(p.StartProcess(line));
    EXPECT_EQ(fifo.ReadAll(), "a b|c\"d|e\\\"f|g\\\\h||'single|quoted'|");
}

TEST_F(PosixPlatformFiles, ProgramsGetNoInputAndNoOutputChannel) {
    Fifo fifo(root_ / "fds");
    ASSERT_TRUE(fifo.ok());
    PosixPlatform p(platform::NtVersionQuery(registry_), windows_.string(), root_.string());
    const std::string line =
        "/bin/sh -c \"echo $(readlink /proc/$$/fd/0) $(readlink "
        "/proc/$$/fd/1) > " +
        fifo.path().string() + "\"";
    ASSERT_TRUE(p.StartProcess(line));
    EXPECT_EQ(fifo.ReadAll(), "/dev/null /dev/null\n");
}

}  // namespace
