// The tools list of the General tab: a double-click starts the chosen Windows tool or the
// outside AC'97 mixer program.
#include <string>

#include "app/frm_main.h"
#include "dialogs/frm_ac97_mixer.h"
#include "store/registry.h"
#include "store/schema.h"

namespace app {

namespace {

// A start that fails is reported; the tool's entry and every setting stay as they were.
void StartTool(ui::App& app, const std::string& entry, const std::string& command) {
    if (command.empty()) {
        app.Show({"", "Unable to start " + entry + ": no command is recorded for it.",
                  ui::Icon::Critical, ui::Buttons::Ok});
        return;
    }
    if (app.StartProcess(command)) return;
    // A location written by another program may end in a terminator, which a message box
    // would take for the end of the text.
    std::string shown = command;
    while (!shown.empty() && shown.back() == '\0') shown.pop_back();
    app.Show({"", "Unable to start \"" + shown + "\".", ui::Icon::Critical, ui::Buttons::Ok});
}

}  // namespace

void FrmMain::ListView1_DblClick() {
    const int position = ListView1->value() + 1;
    if (position < 1 || position > static_cast<int>(ListView1->items.size())) return;
    const std::string& entry = ListView1->items[position - 1];
    switch (position) {
        case 1:
            StartTool(app(), entry, "sndvol32.exe");
            break;
        case 2:
            StartTool(app(), entry, "sndrec32.exe");
            break;
        case 3:
            StartTool(app(), entry, copies.Prog);
            break;
        case 4:
            copies.AC97MixerLocation =
                app()
                    .registry()
                    .FetchValue(store::kHKLM, schema::kControlPanel, schema::kAC97MixerLocation)
                    .str();
            if (!copies.AC97MixerLocation.empty()) {
                StartTool(app(), entry, copies.AC97MixerLocation);
            } else {
                app().Open<dialogs::FrmAC97Mixer>(*this).Show();
                Hide();
                SetEnabled(false);
            }
            break;
        case 5:
            StartTool(app(), entry, "rundll32.exe shell32.dll,Control_RunDLL mmsys.cpl");
            break;
        case 6:
            StartTool(app(), entry, "rundll32.exe shell32.dll,Control_RunDLL joy.cpl");
            break;
        case 7:
            StartTool(app(), entry, "dxdiag.exe");
            break;
        default:
            break;
    }
}

}  // namespace app
