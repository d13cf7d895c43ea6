// What the system asks of the machine, besides the registry: the Windows version, version
// resources and sizes of files, the start folder and starting programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "formats/pe/pe_version.h"

namespace platform {

// The fields of OSVERSIONINFOA that the classification reads.
struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t platformId = 0;
    std::string csdVersion;  // the 128-byte service-pack buffer, NULs included
};

enum class SizeFailure { None, InvalidName, Other };

struct FileSize {
    std::optional<std::uint64_t> bytes;
    SizeFailure failure = SizeFailure::Other;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // GetVersionExA; false when the query fails.
    virtual bool GetVersionEx(OsVersion& out) = 0;

    // The fixed version of the file that the version functions find for this name;
    // nullopt when the file is missing or has no usable version resource.
    virtual std::optional<FixedFileVersion> FileVersion(const std::string& name) = 0;

    // Where the version functions would find this name: a full path, or "" when missing.
    virtual std::string LocateFile(const std::string& name) = 0;

    // The size of the file at a path.
    virtual FileSize SizeOfFile(const std::string& path) = 0;

    // The folder from which the system was started.
    virtual std::string StartFolder() = 0;

    // Starts a command line with its window shown normally; does not wait. True when started.
    virtual bool StartProcess(const std::string& commandLine) = 0;
};

}  // namespace platform
