#include "dialogs/frm_about.h"

namespace dialogs {

using ui::Kind;

FrmAbout::FrmAbout(ui::App& app, ui::Form& owner)
    : Dialog(app, owner, "frmAbout", "About Calvenor XP", 6720, 3360) {
    cmdOK = &Add(Kind::Button, "cmdOK", "OK", {5280, 2880, 1335, 375});
    // Drawn over the top of the picture, hence white.
    Label1 = &Add(Kind::Label, "Label1",
                  "Developed by the Calvenor XP team from:", {120, 120, 3135, 375});
    Label1->color = {true, 255, 255, 255};
    Label2 = &Add(Kind::Label, "Label2", "Calvenor", {3480, 600, 2895, 495});
    Label2->font = {"Arial", 15.75};
    Label3 = &Add(Kind::Label, "Label3", " xp", {6360, 600, 255, 495});
    Label3->font = {"Arial", 9};
    Label3->color = {true, 255, 128, 0};
    Label3->follows = Label2;
    Label4 = &Add(Kind::Label, "Label4", "Version 2.30", {3480, 1200, 2895, 255});
    Label5 =
        &Add(Kind::Label, "Label5", "Please send all feedback to: feedback@calvenor-xp.example",
             {3480, 1680, 3135, 495});
    Label6 = &Add(Kind::Label, "Label6", "Speaker curves by the Calvenor XP team",
                  {3480, 2280, 3135, 255});
    Label7 = &Add(Kind::Label, "Label7", "Equalizer by \"Velta\"", {3480, 2520, 1695, 255});
    Image1 = &Add(Kind::Picture, "Image1", "", {120, 120, 3195, 3150});
    Image1->picture = "about";

    cmdOK->onChange = [this] { cmdOK_Click(); };
}

// Unlike the plain hand-back, the main window comes back to the front before this one goes.
void FrmAbout::cmdOK_Click() {
    owner().SetEnabled(true);
    owner().Show();
    owner().BringToFront();
    Unload();
}

}  // namespace dialogs
