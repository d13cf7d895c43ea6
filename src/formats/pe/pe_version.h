// Reads the fixed file version out of a PE file's version resource, the way the Windows
// version functions find it: the first RT_VERSION resource (first name, first language) and
// the VS_FIXEDFILEINFO that follows its "VS_VERSION_INFO" header. The input is outside data:
// anything truncated, malformed or hostile gives nullopt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform {

// The file version fields of VS_FIXEDFILEINFO.
struct FixedFileVersion {
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
};

// Files larger than this are not read at all; drivers and DLLs are far smaller.
inline constexpr std::size_t kMaxPeFileSize = std::size_t{64} * 1024 * 1024;

std::optional<FixedFileVersion> ReadPeFileVersion(const std::uint8_t* data, std::size_t size);

}  // namespace platform
