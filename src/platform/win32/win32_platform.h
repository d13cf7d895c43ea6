// The platform on Windows: GetVersionExA, the version.dll functions, the file system and
// CreateProcessA, as the system was written against them.
#pragma once

#include "platform/platform.h"

namespace platform {

class Win32Platform : public Platform {
  public:
    bool GetVersionEx(OsVersion& out) override;
    std::optional<FixedFileVersion> FileVersion(const std::string& name) override;
    std::string LocateFile(const std::string& name) override;
    FileSize SizeOfFile(const std::string& path) override;
    std::string StartFolder() override;
    bool StartProcess(const std::string& commandLine) override;
};

}  // namespace platform
