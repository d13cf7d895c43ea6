#include "detect/windows_version.h"

#include <cstddef>
#include <string_view>

namespace detect {
namespace {

// szCSDVersion of OSVERSIONINFOA.
constexpr std::size_t kCsdBufferSize = 128;

// The text before the buffer's first NUL, trimmed of spaces; "" when the buffer has no NUL.
// A buffer handed over shorter than 128 bytes counts as padded with NULs.
std::string ServicePack(const std::string& buffer) {
    if (buffer.size() >= kCsdBufferSize && buffer.find('\0') >= kCsdBufferSize) return "";
    std::string_view text(buffer);
    text = text.substr(0, text.find('\0'));
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return "";
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

void Name(WindowsVersionInfo& info, std::int32_t kind, const char* name) {
    info.kind = kind;
    info.name = name;
}

}  // namespace

void Classify(const platform::OsVersion& os, WindowsVersionInfo& info) {
    info.major = static_cast<std::int32_t>(os.major);
    info.minor = static_cast<std::int32_t>(os.minor);
    info.platform = static_cast<std::int32_t>(os.platformId);
    // Windows 9x puts the major and minor numbers in the build's high word.
    info.build = static_cast<std::int32_t>(os.platformId == 1 ? os.build & 0xFFFFu : os.build);
    info.servicePack = ServicePack(os.csdVersion);

    switch (os.platformId) {
        case 0:
            Name(info, 2, "Windows 32s");
            break;
        case 1:
            if (os.minor == 0) {
                Name(info, 3, "Windows 95");
            } else if (os.minor == 10) {
                Name(info, 4, "Windows 98");
            } else if (os.minor == 90) {
                Name(info, 5, "Windows ME");
            } else {
                Name(info, 0, "Unknown");
            }
            break;
        case 2:
            if (os.major == 3) {
                Name(info, 32, "Windows NT3");
            } else if (os.major == 4) {
                Name(info, 33, "Windows NT4");
            } else if (os.major == 5 && os.minor == 0) {
                Name(info, 34, "Windows 2000");
            } else if (os.major == 5 && os.minor == 1) {
                Name(info, 35, "Windows XP");
            } else {
                Name(info, 0, "Unknown");
            }
            break;
        default:
            // An unknown platform is named by its kind number, 0.
            Name(info, 0, "0");
            break;
    }
}

int ClassifyWindows(platform::Platform& platform, WindowsVersionInfo& info) {
    platform::OsVersion os;
    if (!platform.GetVersionEx(os)) return 0;
    Classify(os, info);
    return 1;
}

}  // namespace detect
