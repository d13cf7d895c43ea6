#include "detect/file_version.h"

#include <cstdint>
#include <optional>

namespace detect {
namespace {

std::string Part(std::uint32_t half) {
    return std::to_string(static_cast<std::int16_t>(static_cast<std::uint16_t>(half)));
}

}  // namespace

std::string FileVersionText(platform::Platform& platform, const std::string& name) {
    const std::optional<platform::FixedFileVersion> version = platform.FileVersion(name);
    if (!version) return "N/A";
    return Part(version->fileVersionMS >> 16) + "." + Part(version->fileVersionMS) + "." +
           Part(version->fileVersionLS >> 16) + "." + Part(version->fileVersionLS);
}

}  // namespace detect
