// Writes small PE images (i386, PE32) whose only content of note is a version resource, so
// that a Windows folder can be furnished with files of chosen versions and sizes: the Linux
// program reads them through its own PE reader, Windows through its version functions.
// The code in them only returns: a DLL's entry reports success, a driver's refuses to load.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class PeKind { Dll, Driver };

// One entry of the version resource's string table ("CompanyName", ...).
struct VersionString {
    std::u16string key;
    std::u16string value;
};

// Everything the written image says, as plain values.
struct VersionedImage {
    PeKind kind = PeKind::Dll;
    // major, minor, build, revision: VS_FIXEDFILEINFO's dwFileVersionMS/LS and
    // dwProductVersionMS/LS.
    std::array<std::uint16_t, 4> fileVersion{};
    std::array<std::uint16_t, 4> productVersion{};
    std::uint32_t fileSubtype = 0;  // VFT2_*; 0 is "unknown"
    std::uint16_t language = 0x0409;
    std::uint16_t codePage = 1200;  // the table's texts are UTF-16
    // The table, in this order; empty writes no StringFileInfo.
    std::vector<VersionString> strings;
    std::uint32_t timeDateStamp = 0;
    // The exact length of the file; 0 for the smallest image. What lies beyond the sections
    // is zeros.
    std::uint64_t fileSize = 0;
};

// The file's bytes; nullopt when they cannot be written: a NUL inside a key or value, a
// version resource over 64 KiB, a fileSize smaller than the image or above kMaxPeFileSize.
std::optional<std::vector<std::uint8_t>> WritePeImage(const VersionedImage& image);

}  // namespace platform
