// libFuzzer target for the headless command reader: any text, taken as command lines, runs on
// a seeded XP machine with the main window open. Nothing may crash, no control may hold a value
// it cannot take, and no registry handle may stay open after a command.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "gui/headless/headless.h"
#include "main_window/frm_main.h"
#include "settings/registry.h"
#include "ui/app.h"

namespace {

bool HasValue(ui::Kind kind) {
    return kind == ui::Kind::CheckBox || kind == ui::Kind::Option || kind == ui::Kind::List ||
           kind == ui::Kind::ScrollBar || kind == ui::Kind::Slider || kind == ui::Kind::IconList ||
           kind == ui::Kind::Tabs;
}

void Check(const ui::App& app, const testing_support::MemoryRegistry& registry,
           const std::string& line) {
    for (const ui::Form* form : app.Forms()) {
        for (const auto& control : form->controls()) {
            if (HasValue(control->kind()) && !control->Accepts(control->value())) {
                std::fprintf(stderr, "after \"%s\": %s.%s holds %d, outside its range\n",
                             line.c_str(), form->name().c_str(), control->id().c_str(),
                             control->value());
                std::abort();
            }
        }
    }
    if (registry.OpenHandles() != 0) {
        std::fprintf(stderr, "after \"%s\": %zu registry handles left open\n", line.c_str(),
                     registry.OpenHandles());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const testing_support::MemoryRegistry kSeed = fuzz_support::SeedMachine();
    testing_support::MemoryRegistry machine = kSeed;
    fuzz_support::QuietPlatform platform(machine);
    settings::Registry registry(machine);
    std::ostringstream out;
    gui::HeadlessPrompter prompter(out);
    ui::App app(registry, platform, prompter);
    gui::Headless driver(app, prompter, out);
    app.Open<main_window::FrmMain>().Show();
    app.Collect();
    Check(app, machine, "(start)");

    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string line;
    while (std::getline(in, line)) {
        const bool running = driver.Execute(line);
        Check(app, machine, line);
        if (!running) break;
    }
    return 0;
}
