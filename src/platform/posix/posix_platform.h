// The platform on Linux: the version query is handed in (registry/nt_version.h answers it from
// the installation's registry); files are looked up in a Windows folder (a mounted XP drive or a
// copy) without regard to case; programs are started with posix_spawnp, never through a shell.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace platform {

// The fixed file version of the PE file at a Linux path. Only regular files up to
// kMaxPeFileSize are read; a FIFO or a device is refused without blocking.
std::optional<FixedFileVersion> ReadPeFileVersionFile(const std::string& path);

// The entry of a folder with this name, compared without regard to ASCII case as a Windows
// file system would; "" when there is none.
std::string FindEntryNoCase(const std::string& folder, const std::string& name);

class PosixPlatform : public Platform {
  public:
    // versionQuery: answers GetVersionEx (Linux has no Windows version: the entry point asks
    // the installation's registry). windowsFolder: the Linux path of the Windows folder, ""
    // when there is none (then no file is found). startFolder: the folder of the program.
    PosixPlatform(std::function<bool(OsVersion&)> versionQuery, std::string windowsFolder,
                  std::string startFolder);

    bool GetVersionEx(OsVersion& out) override;
    std::optional<FixedFileVersion> FileVersion(const std::string& name) override;
    std::string LocateFile(const std::string& name) override;
    FileSize SizeOfFile(const std::string& path) override;
    std::string StartFolder() override { return startFolder_; }
    bool StartProcess(const std::string& commandLine) override;

  private:
    std::function<bool(OsVersion&)> versionQuery_;
    std::string windowsFolder_;
    std::string startFolder_;
};

}  // namespace platform
