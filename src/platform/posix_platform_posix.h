// The platform on Linux: the version query reads what an XP installation records in the
// settings store; files are looked up in a Windows folder (a mounted XP drive or a copy)
// without regard to case; programs are started with posix_spawnp, never through a shell.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/registry_backend.h"

namespace platform {

// The fixed file version of the PE file at a Linux path. Only regular files up to
// kMaxPeFileSize are read; a FIFO or a device is refused without blocking.
std::optional<FixedFileVersion> ReadPeFileVersionFile(const std::string& path);

// The entry of a folder with this name, compared without regard to ASCII case as a Windows
// file system would; "" when there is none.
std::string FindEntryNoCase(const std::string& folder, const std::string& name);

class PosixPlatform : public Platform {
  public:
    // windowsFolder: the Linux path of the Windows folder, "" when there is none (then no
    // file is found). startFolder: the folder of the program itself.
    PosixPlatform(RegistryBackend& registry, std::string windowsFolder, std::string startFolder);

    RegistryBackend& Registry() override { return registry_; }
    bool GetVersionEx(OsVersion& out) override;
    std::optional<FixedFileVersion> FileVersion(const std::string& name) override;
    std::string LocateFile(const std::string& name) override;
    FileSize SizeOfFile(const std::string& path) override;
    std::string StartFolder() override { return startFolder_; }
    bool StartProcess(const std::string& commandLine) override;

  private:
    RegistryBackend& registry_;
    std::string windowsFolder_;
    std::string startFolder_;
};

}  // namespace platform
