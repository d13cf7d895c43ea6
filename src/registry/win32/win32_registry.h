// The Windows build's registry: advapi32's ANSI functions. The system's one root, kHKLM, is
// HKEY_LOCAL_MACHINE; tests put a scratch key of their own in its place so that they exercise
// the same calls without touching the machine's settings.
#pragma once

#include "platform/win32/windows_api.h"
#include "registry/registry_backend.h"

namespace platform {

class Win32Registry : public RegistryBackend {
  public:
    // hklm: the key that stands for kHKLM. It is not closed by this object.
    explicit Win32Registry(HKEY hklm = HKEY_LOCAL_MACHINE) : hklm_(hklm) {}

    long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) override;
    long CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                     std::uint32_t access, HKey* out) override;
    long CreateKey(HKey root, const std::string& path, HKey* out) override;
    long QueryValue(HKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
    long SetValue(HKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long DeleteValue(HKey key, const std::string& name) override;
    long CloseKey(HKey key) override;

  private:
    // The real handle for a root or an open key; null for a root the system never uses.
    HKEY Resolve(HKey key) const;

    HKEY hklm_;
};

}  // namespace platform
