// CalvenorXP.exe: the main window over the real registry. "--headless" runs the same windows
// from text commands on standard input instead (for scripts and tests).

#include <cstdio>
#include <cstring>
#include <iostream>

#include "gui/headless/headless.h"
#include "gui/win32/win32_adapter.h"
#include "main_window/frm_main.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/windows_api.h"
#include "registry/win32/win32_registry.h"
#include "settings/registry.h"

namespace {

// The program is built for the GUI subsystem, so it gets no console of its own. Redirected
// standard handles (a pipe or a file, as tests and scripts use) are inherited as they are;
// started from a console without redirection it writes to that console.
void AttachStandardStreams() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const bool redirected = in != nullptr && in != INVALID_HANDLE_VALUE && out != nullptr &&
                            out != INVALID_HANDLE_VALUE;
    if (redirected) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!std::freopen("CONIN$", "r", stdin) || !std::freopen("CONOUT$", "w", stdout) ||
        !std::freopen("CONOUT$", "w", stderr)) {
        return;
    }
    std::ios::sync_with_stdio(true);
    std::cin.clear();
    std::cout.clear();
}

}  // namespace

int main(int argc, char** argv) {
    bool headless = false;
    // No other options: the registry is the program's only configuration.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) headless = true;
    }

    platform::Win32Registry backend;
    platform::Win32Platform machine;
    settings::Registry registry(backend);

    if (headless) {
        AttachStandardStreams();
        gui::HeadlessPrompter prompter(std::cout);
        ui::App app(registry, machine, prompter);
        gui::Headless driver(app, prompter, std::cout);
        app.Open<main_window::FrmMain>().Show();
        app.Collect();
        const int code = driver.Run(std::cin);
        std::cout.flush();
        return code;
    }

    gui::HeadlessPrompter unused(std::cout);
    ui::App app(registry, machine, unused);
    gui::Win32Adapter adapter(app, GetModuleHandleA(nullptr));
    app.Open<main_window::FrmMain>().Show();
    app.Collect();
    return adapter.Run();
}
