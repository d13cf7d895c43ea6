#include "registry/nt_version.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

namespace {

// szCSDVersion of OSVERSIONINFOA.
constexpr std::size_t kCsdBufferSize = 128;
// Longer version texts than this are not an XP installation's.
constexpr std::uint32_t kMaxVersionText = 1024;

class OpenKey {
  public:
    OpenKey(RegistryBackend& registry, const std::string& path) : registry_(registry) {
        if (registry_.OpenKey(kHKLM, path, kKeyQueryValue, &key_) != winerr::kSuccess) key_ = 0;
    }
    ~OpenKey() {
        if (key_ != 0) registry_.CloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    bool is_open() const { return key_ != 0; }

    // A REG_SZ value up to its first NUL: regedit stores texts with their terminator.
    std::optional<std::string> Text(const std::string& name) {
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (registry_.QueryValue(key_, name, &type, nullptr, &size) != winerr::kSuccess ||
            type != REG_SZ || size > kMaxVersionText) {
            return std::nullopt;
        }
        std::string text(size, '\0');
        if (registry_.QueryValue(key_, name, &type, reinterpret_cast<std::uint8_t*>(text.data()),
                                 &size) != winerr::kSuccess ||
            type != REG_SZ) {
            return std::nullopt;
        }
        text.resize(std::min<std::size_t>(size, text.size()));
        return text.substr(0, text.find('\0'));
    }

  private:
    RegistryBackend& registry_;
    HKey key_ = 0;
};

std::optional<std::uint32_t> ParseUnsigned(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool ReadNtVersion(RegistryBackend& registry, OsVersion& out) {
    OpenKey key(registry, nt_version::kKey);
    if (!key.is_open()) return false;
    const std::optional<std::string> version = key.Text(nt_version::kCurrentVersion);
    if (!version) return false;
    const std::size_t dot = version->find('.');
    if (dot == std::string::npos) return false;
    const auto major = ParseUnsigned(std::string_view(*version).substr(0, dot));
    const auto minor = ParseUnsigned(std::string_view(*version).substr(dot + 1));
    if (!major || !minor) return false;

    OsVersion result;
    result.major = *major;
    result.minor = *minor;
    result.platformId = 2;  // only the NT family records these values
    if (const auto build = key.Text(nt_version::kCurrentBuildNumber)) {
        result.build = ParseUnsigned(*build).value_or(0);
    }
    std::string csd = key.Text(nt_version::kCSDVersion).value_or("");
    csd.resize(std::min(csd.size(), kCsdBufferSize - 1));
    csd.resize(kCsdBufferSize, '\0');
    result.csdVersion = std::move(csd);
    out = std::move(result);
    return true;
}

}  // namespace platform
