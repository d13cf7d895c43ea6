// Scenarios run on an in-memory registry with the real one's semantics; the embedded store
// has suites of its own. With CALVENOR_SCENARIO_HIVES=1 they run instead on the hives of a
// bare XP installation generated for each scenario (ctest runs the main suites so).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "registry/hive/hive_registry.h"
#include "support/memory_registry.h"
#include "support/scenario.h"
#include "support/xp_installation_posix.h"

namespace testing_support {
namespace {

using platform::HKey;

// The hives of an installation made for one scenario, removed with it.
class ScratchHives : public platform::RegistryBackend {
  public:
    ScratchHives() {
        char pattern[] = "/tmp/calvenor-scenario-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            ADD_FAILURE() << "cannot make a folder for the hives";
            return;
        }
        folder_ = pattern;
        const std::string windows = folder_ + "/WINDOWS";
        const std::string error = MakeXpInstallation(windows, "");
        std::string why;
        if (error.empty()) {
            hives_ = platform::HiveRegistry::Open(windows,
                                                  platform::HiveRegistry::Access::ReadWrite, &why);
        }
        if (!hives_) ADD_FAILURE() << "cannot make the hives: " << error << why;
    }
    ~ScratchHives() override {
        hives_.reset();
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) override {
        return hives_->OpenKey(root, path, access, out);
    }
    long CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                     std::uint32_t access, HKey* out) override {
        return hives_->CreateKeyEx(root, path, options, access, out);
    }
    long CreateKey(HKey root, const std::string& path, HKey* out) override {
        return hives_->CreateKey(root, path, out);
    }
    long QueryValue(HKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
        return hives_->QueryValue(key, name, type, data, size);
    }
    long SetValue(HKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        return hives_->SetValue(key, name, type, data, size);
    }
    long DeleteValue(HKey key, const std::string& name) override {
        return hives_->DeleteValue(key, name);
    }
    long CloseKey(HKey key) override { return hives_->CloseKey(key); }
    void Together(const std::function<void()>& body) override { hives_->Together(body); }

  private:
    std::string folder_;
    std::unique_ptr<platform::HiveRegistry> hives_;
};

}  // namespace

std::unique_ptr<platform::RegistryBackend> MakeScenarioBackend() {
    const char* hives = std::getenv("CALVENOR_SCENARIO_HIVES");
    if (hives != nullptr && std::string(hives) == "1") return std::make_unique<ScratchHives>();
    return std::make_unique<testing_support::MemoryRegistry>();
}

}  // namespace testing_support
