// Every window the main window opens, and how it is locked meanwhile: kept in sight but
// disabled, or hidden and disabled until the window gives it back.
#include "detect/frm_drv_ver.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_about_a3d.h"
#include "dialogs/frm_ac97_mixer.h"
#include "dialogs/frm_quad.h"
#include "equalizer/frm_eq.h"
#include "main_window/frm_main.h"
#include "reset/frm_reset.h"
#include "wpcrset/frm_wpcrset.h"

namespace main_window {

void FrmMain::WireOpeners() {
    cmdAbout->onChange = [this] { cmdAbout_Click(); };
    cmdReset->onChange = [this] { cmdReset_Click(); };
    general.cmdWPCRSET->onChange = [this] { cmdWPCRSET_Click(); };
    general.openMixerLocation = [this] { OpenMixerLocation(); };
    a3d.cmdQuad->onChange = [this] { cmdQuad_Click(); };
    a3d.cmdAboutA3D->onChange = [this] { cmdAboutA3D_Click(); };
    a3d.cmdDrvVerHlp->onChange = [this] { cmdDrvVerHlp_Click(); };
    digital.cmdEQSettings->onChange = [this] { cmdEQSettings_Click(); };
}

void FrmMain::cmdAbout_Click() {
    app().Open<dialogs::FrmAbout>(*this).ShowOverOwner();
}

void FrmMain::cmdAboutA3D_Click() {
    app().Open<dialogs::FrmAboutA3D>(*this).ShowOverOwner();
}

void FrmMain::cmdEQSettings_Click() {
    app().Open<equalizer::FrmEQ>(*this).ShowOverOwner();
}

void FrmMain::cmdDrvVerHlp_Click() {
    app().Open<detect::FrmDrvVer>(*this).ShowInsteadOfOwner();
}

// The reset of the A3D type shows the speaker picture of the type it writes.
void FrmMain::cmdReset_Click() {
    app()
        .Open<reset::FrmReset>(*this,
                               [this] { a3d.ShowSpeakerPicture(pages::A3DPage::kSatellite); })
        .ShowInsteadOfOwner();
}

// A load that finds WPCRSET missing dismisses the window and leaves this one as it was.
void FrmMain::cmdWPCRSET_Click() {
    app().Open<wpcrset::FrmWPCRSET>(*this).ShowInsteadOfOwner();
}

// The quad settings can silence the card: the user is asked first, and warned after.
void FrmMain::cmdQuad_Click() {
    const ui::Answer answer = app().Show(
        {"Information", "These settings may not work on your card.  Do you wish to continue?",
         ui::Icon::None, ui::Buttons::YesNo});
    if (answer != ui::Answer::Yes) {
        SetEnabled(true);
        Show();
        if (ui::Form* quad = app().FindForm("frmQuad")) quad->Unload();
        return;
    }
    app().Open<dialogs::FrmQuad>(*this).ShowInsteadOfOwner();
    app().Show({"Information",
                "The Quad options have been moved here because they appear to cause all sound "
                "to disappear on some systems.  Only continue if you know how to recover from "
                "this.  The AC97 Mixer is the best solution to get Shared Front and Rear Output.",
                ui::Icon::Information, ui::Buttons::Ok});
}

void FrmMain::OpenMixerLocation() {
    app().Open<dialogs::FrmAC97Mixer>(*this).ShowInsteadOfOwner();
}

}  // namespace main_window
