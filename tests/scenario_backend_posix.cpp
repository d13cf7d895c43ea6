// Scenarios run on an in-memory registry with the real one's semantics; the embedded store
// has suites of its own.
#include "platform/memory_registry.h"
#include "support/scenario.h"

namespace testing_support {
std::unique_ptr<platform::RegistryBackend> MakeScenarioBackend() {
    return std::make_unique<platform::MemoryRegistry>();
}
}  // namespace testing_support
