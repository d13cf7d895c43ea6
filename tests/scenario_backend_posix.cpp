// Scenarios run on an in-memory registry with the real one's semantics; the embedded store
// has suites of its own.
#include "support/memory_registry.h"
#include "support/scenario.h"

namespace testing_support {
std::unique_ptr<platform::RegistryBackend> MakeScenarioBackend() {
    return std::make_unique<testing_support::MemoryRegistry>();
}
}  // namespace testing_support
