// Scenarios on Windows run on the real registry (advapi32 under Wine in CI), so they meet its
// own semantics: keys and value names without regard to case, missing keys, value types.
// So that tests neither touch the machine's settings nor each other's, each scenario gets a
// scratch key HKLM\SOFTWARE\CalvenorTest\<process>-<n> that stands in for HKEY_LOCAL_MACHINE;
// every path the system uses lies beneath it unchanged. The scratch key goes with the test.

#include <string>

#include "platform/win32/windows_api.h"
#include "registry/win32/win32_registry.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

constexpr const char* kScratchRoot = "SOFTWARE\\CalvenorTest";

// RegDeleteTree is Vista's; XP deletes a tree one key at a time, leaves first.
void DeleteTree(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (;;) {
        char child[256];
        DWORD length = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::string before(child, length);
        DeleteTree(key, before);
        // A child that cannot be deleted would make this loop forever.
        length = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS &&
            std::string(child, length) == before) {
            break;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name.c_str());
}

class ScratchRegistry : public platform::Win32Registry {
  public:
    ScratchRegistry(HKEY scratch, std::string path)
        : Win32Registry(scratch), scratch_(scratch), path_(std::move(path)) {}
    ~ScratchRegistry() override {
        RegCloseKey(scratch_);
        DeleteTree(HKEY_LOCAL_MACHINE, path_);
        // The shared parent goes once no other test process uses it.
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kScratchRoot);
    }

  private:
    HKEY scratch_;
    std::string path_;
};

}  // namespace

std::unique_ptr<platform::RegistryBackend> MakeScenarioBackend() {
    static int counter = 0;
    const std::string path = std::string(kScratchRoot) + "\\" +
                             std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++counter);
    DeleteTree(HKEY_LOCAL_MACHINE, path);  // left over by a crashed run
    HKEY scratch = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &scratch, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create the scratch key HKLM\\" << path;
        return std::make_unique<platform::Win32Registry>(static_cast<HKEY>(nullptr));
    }
    return std::make_unique<ScratchRegistry>(scratch, path);
}

}  // namespace testing_support
