// The program's forms in the caller's own process, on a registry of no consequence: for tests
// and test tools that make the forms' windows or need each control's ID.
#pragma once

#include <sstream>

#include "gui/headless/headless.h"
#include "settings/registry.h"
#include "support/memory_registry.h"
#include "support/scenario.h"
#include "ui/app.h"

namespace testing_support {

struct LocalApp {
    MemoryRegistry backend;
    FakePlatform platform{backend};
    settings::Registry registry{backend};
    std::ostringstream sink;
    gui::HeadlessPrompter prompter{sink};
    ui::App app{registry, platform, prompter};
};

}  // namespace testing_support
