// Where an XP installation records its version, and the Linux build's answer to the Windows
// version query read from there: without GetVersionExA, the installation's registry says which
// Windows it is.
#pragma once

#include <functional>

#include "platform/platform.h"
#include "registry/registry_backend.h"

namespace platform {

namespace nt_version {
inline constexpr const char* kKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr const char* kCurrentVersion = "CurrentVersion";
inline constexpr const char* kCurrentBuildNumber = "CurrentBuildNumber";
inline constexpr const char* kCSDVersion = "CSDVersion";
}  // namespace nt_version

// GetVersionExA's answer from these values; false when they are missing or malformed.
bool ReadNtVersion(RegistryBackend& registry, OsVersion& out);

// ReadNtVersion over this registry, as PosixPlatform takes its version query.
inline std::function<bool(OsVersion&)> NtVersionQuery(RegistryBackend& registry) {
    return [&registry](OsVersion& out) { return ReadNtVersion(registry, out); };
}

}  // namespace platform
