// The written images as Windows sees them: its version functions read the fixed record, the
// translation and the string table, its loader maps the resources, and the Windows platform
// reads the same versions and sizes as the Linux one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "detect/file_version.h"
#include "formats/pe/pe_writer.h"
#include "platform/seed_windows.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/windows_api.h"
#include "support/memory_registry.h"

namespace {

class TempFolder {
  public:
    TempFolder() {
        char base[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathA(MAX_PATH, base);
        if (length == 0 || length > MAX_PATH) return;
        path_ = std::string(base) + "calvenor-pe-" + std::to_string(GetCurrentProcessId());
        if (!CreateDirectoryA(path_.c_str(), nullptr)) path_.clear();
    }
    ~TempFolder() {
        if (path_.empty()) return;
        // The seed files and their folders, which is all the tests write here.
        for (const char* file : {"\\system32\\drivers\\adm8830.sys", "\\system32\\a3d.dll",
                                 "\\system32\\a3dapi.dll"}) {
            DeleteFileA((path_ + file).c_str());
        }
        RemoveDirectoryA((path_ + "\\system32\\drivers").c_str());
        RemoveDirectoryA((path_ + "\\system32").c_str());
        RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

struct Expected {
    const char* file;
    const char* version;
    DWORD fileType;
    const char* originalFilename;
};

const Expected kSeed[] = {
    {"\\system32\\drivers\\adm8830.sys", "5.12.1.2560", VFT_DRV, "adm8830.sys"},
    {"\\system32\\a3d.dll", "2.0.1.230", VFT_DLL, "a3d.dll"},
    {"\\system32\\a3dapi.dll", "2.0.2.230", VFT_DLL, "a3dapi.dll"},
};

std::string Dotted(DWORD ms, DWORD ls) {
    return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
           std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
}

std::string StringValue(std::string buffer, const std::string& table, const char* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::string block = "\\StringFileInfo\\" + table + "\\" + name;
    if (!VerQueryValueA(buffer.data(), block.c_str(), &value, &length) || value == nullptr) {
        return "(none)";
    }
    return std::string(static_cast<const char*>(value));
}

TEST(PeWriterOnWindows, VersionFunctionsReadTheSeedFiles) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    ASSERT_EQ(platform::WriteWindowsFiles(folder.path(), platform::SeedWindowsFiles()), "");
    for (const Expected& e : kSeed) {
        const std::string path = folder.path() + e.file;
        SCOPED_TRACE(path);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << GetLastError();
        std::string buffer(size, '\0');
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, buffer.data()));

        void* block = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(buffer.data(), "\\", &block, &length));
        ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, block, sizeof fixed);
        EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(Dotted(fixed.dwFileVersionMS, fixed.dwFileVersionLS), e.version);
        EXPECT_EQ(Dotted(fixed.dwProductVersionMS, fixed.dwProductVersionLS), e.version);
        EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
        EXPECT_EQ(fixed.dwFileType, e.fileType);

        ASSERT_TRUE(VerQueryValueA(buffer.data(), "\\VarFileInfo\\Translation", &block, &length));
        ASSERT_EQ(length, 4u);
        WORD translation[2];
        std::memcpy(translation, block, sizeof translation);
        EXPECT_EQ(translation[0], 0x0409);
        EXPECT_EQ(translation[1], 1200);

        EXPECT_EQ(StringValue(buffer, "040904b0", "CompanyName"), "Calvenor XP project");
        EXPECT_EQ(StringValue(buffer, "040904B0", "OriginalFilename"), e.originalFilename);
        EXPECT_EQ(StringValue(buffer, "040904B0", "FileVersion"), e.version);
        EXPECT_EQ(StringValue(buffer, "040904B0", "LegalTrademarks"), "(none)");
    }
}

TEST(PeWriterOnWindows, ThePlatformReadsVersionAndSizeOfTheDriver) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    ASSERT_EQ(platform::WriteWindowsFiles(folder.path(), platform::SeedWindowsFiles()), "");
    testing_support::MemoryRegistry registry;
    platform::Win32Platform machine;
    const std::string driver = folder.path() + "\\system32\\drivers\\adm8830.sys";
    EXPECT_EQ(detect::FileVersionText(machine, driver), "5.12.1.2560");
    const platform::FileSize size = machine.SizeOfFile(driver);
    ASSERT_TRUE(size.bytes.has_value());
    EXPECT_EQ(*size.bytes, 747392u);
}

// The version functions' own answer for a name, as the program shows it.
std::string ApiVersion(const std::string& name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(name.c_str(), &ignored);
    if (size == 0) return "N/A";
    std::string buffer(size, '\0');
    if (!GetFileVersionInfoA(name.c_str(), 0, size, buffer.data())) return "N/A";
    void* block = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(buffer.data(), "\\", &block, &length) || block == nullptr) return "N/A";
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, block, sizeof fixed);
    return Dotted(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
}

// Names the version functions search for: the platform finds each one they find (here in the
// current folder, with or without a folder or an extension in the name) and no other.
TEST(PeWriterOnWindows, ThePlatformFindsTheVersionOfWhatTheSearchFinds) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    ASSERT_EQ(platform::WriteWindowsFiles(folder.path(), platform::SeedWindowsFiles()), "");
    char previous[MAX_PATH + 1] = {};
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA((folder.path() + "\\system32").c_str()));
    platform::Win32Platform machine;
    int found = 0;
    for (const char* name :
         {"a3d.dll", "A3DAPI.DLL", "drivers\\adm8830.sys", "a3d", "..\\system32\\a3d.dll",
          "drivers\\admaud30.sys", "missing.dll", "drivers\\", "a3d.dll."}) {
        SCOPED_TRACE(name);
        const std::string expected = ApiVersion(name);
        if (expected != "N/A") ++found;
        EXPECT_EQ(detect::FileVersionText(machine, name), expected);
    }
    SetCurrentDirectoryA(previous);
    EXPECT_GE(found, 4);
}

TEST(PeWriterOnWindows, TheLoaderMapsTheResources) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    ASSERT_EQ(platform::WriteWindowsFiles(folder.path(), platform::SeedWindowsFiles()), "");
    for (const Expected& e : kSeed) {
        const std::string path = folder.path() + e.file;
        SCOPED_TRACE(path);
        HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << GetLastError();
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
        ASSERT_NE(found, nullptr);
        const DWORD size = SizeofResource(module, found);
        const void* data = LockResource(LoadResource(module, found));
        ASSERT_NE(data, nullptr);
        WORD length = 0;
        std::memcpy(&length, data, sizeof length);
        EXPECT_EQ(length, size);
        FreeLibrary(module);
    }
}

// A 32-bit process can load the DLLs as code: the image is one the loader accepts.
TEST(PeWriterOnWindows, A32BitProcessLoadsTheDlls) {
    if (sizeof(void*) != 4) GTEST_SKIP() << "the files are i386 images; this process is not";
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    ASSERT_EQ(platform::WriteWindowsFiles(folder.path(), platform::SeedWindowsFiles()), "");
    const std::string path = folder.path() + "\\system32\\a3d.dll";
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    FreeLibrary(module);
}

}  // namespace
