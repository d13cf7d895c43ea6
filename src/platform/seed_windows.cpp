#include "platform/seed_windows.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kVft2DrvSound = 9;

std::u16string VersionText(const std::array<std::uint16_t, 4>& v) {
    std::u16string text;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i != 0) text += u'.';
        for (const char c : std::to_string(v[i])) text += static_cast<char16_t>(c);
    }
    return text;
}

VersionedImage StandIn(PeKind kind, std::array<std::uint16_t, 4> version, std::u16string fileName,
                       std::u16string description) {
    VersionedImage image;
    image.kind = kind;
    image.fileVersion = version;
    image.productVersion = version;
    const std::u16string internal = fileName.substr(0, fileName.find(u'.'));
    image.strings = {
        {u"CompanyName", u"Calvenor XP project"},
        {u"FileDescription", description},
        {u"FileVersion", VersionText(version)},
        {u"InternalName", internal},
        {u"OriginalFilename", fileName},
        {u"ProductName", u"Calvenor XP simulated Windows folder"},
        {u"ProductVersion", VersionText(version)},
    };
    return image;
}

}  // namespace

std::vector<SeedWindowsFile> SeedWindowsFiles() {
    // The driver XP installs for the card itself: the advice of the driver information
    // window knows it by this version and this size.
    SeedWindowsFile driver{"system32/drivers/adm8830.sys",
                           StandIn(PeKind::Driver, {5, 12, 1, 2560}, u"adm8830.sys",
                                   u"Stand-in for the AU8830 WDM audio driver")};
    driver.image.fileSubtype = kVft2DrvSound;
    driver.image.fileSize = 747392;
    // The A3D files' versions are our own choice: 2.0 for A3D 2.0, the interface the card
    // implements; the third part tells the two files apart; 230 is this panel's 2.30. Any
    // version but 80.0.0.3 (another maker's A3D emulation) is advised as a working A3D.
    return {
        driver,
        {"system32/a3d.dll",
         StandIn(PeKind::Dll, {2, 0, 1, 230}, u"a3d.dll", u"Stand-in for the A3D runtime")},
        {"system32/a3dapi.dll", StandIn(PeKind::Dll, {2, 0, 2, 230}, u"a3dapi.dll",
                                        u"Stand-in for the A3D interface library")},
    };
}

std::string WriteWindowsFiles(const std::string& folder,
                              const std::vector<SeedWindowsFile>& files) {
    for (const SeedWindowsFile& file : files) {
        const fs::path path = fs::path(folder) / fs::path(file.path);
        const auto bytes = WritePeImage(file.image);
        if (!bytes) return "cannot make \"" + file.path + "\"";
        std::error_code error;
        fs::create_directories(path.parent_path(), error);
        if (error)
            return "cannot create \"" + path.parent_path().string() + "\": " + error.message();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes->data()),
                  static_cast<std::streamsize>(bytes->size()));
        out.close();
        if (!out) return "cannot write \"" + path.string() + "\"";
    }
    return "";
}

}  // namespace platform
