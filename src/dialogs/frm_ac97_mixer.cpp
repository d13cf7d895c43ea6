#include "dialogs/frm_ac97_mixer.h"

#include <string>

#include "settings/registry.h"
#include "settings/schema.h"

namespace dialogs {

using settings::kHKLM;
using ui::Kind;

FrmAC97Mixer::FrmAC97Mixer(ui::App& app, ui::Form& owner)
    : Dialog(app, owner, "frmAC97Mixer", "AC97 Mixer Location", 6015, 1455) {
    resizable = true;
    // The box takes the width between the picture and the window's edge, so that the prompt
    // shows whole.
    txtAC97Location = &Add(Kind::TextBox, "txtAC97Location", "", {1260, 240, 4695, 315});
    txtAC97Location->SetText("Enter the program path here - i.e. C:\\AC97Mix\\AC97Mixer.exe");
    cmdHelp = &Add(Kind::Button, "cmdHelp", "?", {1335, 840, 375, 375});
    cmdOK = &Add(Kind::Button, "cmdOK", "OK", {3240, 840, 1215, 375});
    cmdExit = &Add(Kind::Button, "cmdExit", "Cancel", {4680, 840, 1215, 375});
    Image1 = &Add(Kind::Picture, "Image1", "", {120, 120, 1095, 1095});
    Image1->picture = "mixer";

    cmdHelp->onChange = [this] { cmdHelp_Click(); };
    cmdOK->onChange = [this] { cmdOK_Click(); };
    cmdExit->onChange = [this] { cmdExit_Click(); };
}

// The start is the only check of the path.
void FrmAC97Mixer::cmdOK_Click() {
    const std::string path = txtAC97Location->text();
    if (app().StartProcess(path)) {
        app().registry().StoreValue(kHKLM, schema::kControlPanel, schema::kAC97MixerLocation, path,
                                    settings::REG_SZ);
        HandBack();
        return;
    }
    app().Show({"",
                "You haven't entered a valid path.  Either correct it, or press Cancel if you "
                "haven't yet downloaded the AC97 Mixer utility",
                ui::Icon::None, ui::Buttons::Ok});
    app().registry().EraseValue(kHKLM, schema::kControlPanel, schema::kAC97MixerLocation);
}

void FrmAC97Mixer::cmdHelp_Click() {
    app().Show({"Information",
                "Please enter the full path of the AC97 Mixer application, including the .EXE "
                "file and extension.  This location will be remebered in the future.",
                ui::Icon::Information, ui::Buttons::Ok});
}

// Cancel, the title-bar close and the keyboard write nothing.
void FrmAC97Mixer::cmdExit_Click() {
    HandBack();
}

}  // namespace dialogs
