// The Windows version as the start-up gate sees it: numbers from the version query and a
// short name such as "Windows XP".
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace detect {

struct WindowsVersionInfo {
    std::int32_t kind = 0;
    std::string name;
    std::int32_t major = 0, minor = 0, build = 0, platform = 0;
    std::string servicePack;
};

// Fills the record from a version query's answer.
void Classify(const platform::OsVersion& os, WindowsVersionInfo& info);

// 1 when the version query answered (record filled), 0 when it failed (record untouched).
int ClassifyWindows(platform::Platform& platform, WindowsVersionInfo& info);

}  // namespace detect
