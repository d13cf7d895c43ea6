// The main window: five setting tabs, the tools list, and the buttons that open the other
// windows. Showing it starts the system; unloading it ends the system.
#pragma once

#include <cstdint>
#include <string>

#include "ui/app.h"
#include "ui/form.h"

namespace app {

using ui::Control;

class FrmMain : public ui::Form {
  public:
    explicit FrmMain(ui::App& app);

    void RequestClose() override;

    // Controls outside the tabs.
    Control* SSTab1;
    Control* cmdAbout;
    Control* cmdOverride;
    Control* cmdOK;
    Control* cmdReset;
    Control* txtAppPath;
    Control* txtADMSize;
    Control* txtOSName;
    // General.
    Control* Image1;
    Control* chkPlayA3D;
    Control* chkA3DSplash;
    Control* ListView1;
    Control* cmdWPCRSET;
    Control* chkTray;
    // MIDI.
    Control* Label4;
    Control* Image3;
    Control* Frame1;
    Control* hsbEffect1;
    Control* cboEffect1;
    Control* lblEffect1;
    Control* Frame2;
    Control* hsbEffect2;
    Control* cboEffect2;
    Control* lblEffect2;
    Control* chkMIDIfx;
    Control* cboWavetableMode;
    Control* chkHighPerfMIDI;
    // A3D Settings.
    Control* Image2;
    Control* Label5;
    Control* Label6;
    Control* Label13;
    Control* Frame7;
    Control* cboA3DType;
    Control* imgQuad;
    Control* imgSat;
    Control* imgPhones;
    Control* imgMon;
    Control* cmdQuad;
    Control* cmdAboutA3D;
    Control* txtA3DVer;
    Control* txtA3DAPI;
    Control* txtDrvVer;
    Control* cmdDrvVerHlp;
    // AC'97 Controls.
    Control* cmdAC97Help;
    Control* chkLA4Inv;
    Control* chkLA2Inv;
    Control* chkAttenuation;
    Control* hsbRear;
    Control* hsbFront;
    Control* hsbPCM2;
    Control* hsbPCM1;
    Control* chkST3D;
    Control* Label3;
    Control* Label2;
    Control* Label1;
    Control* lblRear;
    Control* lblFront;
    Control* lblPCM2;
    Control* lblPCM1;
    Control* Label10;
    Control* Label9;
    Control* Label8;
    Control* Label7;
    // EQ/Digital I/O.
    Control* lblDigOut;
    Control* Label11;
    Control* Label12;
    Control* Frame3;
    Control* optDigOut[3];
    Control* Frame5;
    Control* chkEnOut;
    Control* chkDetOut;
    Control* Frame6;
    Control* chkEnIn;
    Control* chkDetIn;
    Control* cmdEQSettings;
    Control* cmdFixDetect;

    // The copy of each loaded setting, named after its registry value; filled by the load and
    // then kept by the handlers of the pages.
    struct Copies {
        std::int16_t AC97PCMOutVol = 0;
        std::int16_t AC97PCM2OutVol = 0;
        std::int16_t AC97MixerFrontOutVol = 0;
        std::int16_t AC97MixerRearOutVol = 0;
        std::string SpdifFrequency;
        std::string AspenWavetableEffect;
        std::string DisableAC97Codec3DEffect;
        std::string SplashAudio;
        std::string SplashScreen;
        std::string ReverbAmount;
        std::string ChorusAmount;
        std::string ST9704ATTEN;
        std::string CorrectLA2;
        std::string ST9708LA4RearInversion;
        std::string DetectSpdifOut;
        std::string DetectSpdifIn;
        std::string EnableSpdifOut;
        std::string EnableSpdifIn;
        std::string SoftSynthModeIndex;
        std::string HighPerformanceMIDI;
        std::string PrimaryXtalk;
        std::string AU30TRAY;
        std::string Prog;               // the media player command
        std::string AC97MixerLocation;  // the last mixer location read
    } copies;

  protected:
    void Load() override;  // Form_Load

  private:
    void BuildGeneralTab();
    void BuildMidiTab();
    void BuildA3DTab();
    void BuildAC97Tab();
    void BuildDigitalTab();
    void Wire();

    // Start-up and the gate.
    void cmdOverride_Click();
    void cmdOK_Click();
    // The settings load, in its start-up form or its override form.
    void LoadSettings(bool overrideForm);

    // Openers of the other windows.
    void cmdAbout_Click();
    void cmdAboutA3D_Click();
    void cmdEQSettings_Click();
    void cmdDrvVerHlp_Click();
    void cmdReset_Click();
    void cmdWPCRSET_Click();
    void cmdQuad_Click();

    // Tools list.
    void ListView1_DblClick();
    void chkTray_Click();

    // A3D.
    void cboA3DType_Click();
    void chkA3DSplash_Click();
    void chkPlayA3D_Click();
    // MIDI.
    void cboWavetableMode_Click();
    void chkHighPerfMIDI_Click();
    void chkMIDIfx_Click();
    void cboEffect1_Click();
    void cboEffect2_Click();
    void hsbEffect1_Change();
    void hsbEffect2_Change();
    void StoreEffectSelection();
    // AC'97.
    void chkST3D_Click();
    void chkAttenuation_Click();
    void chkLA4Inv_Click();
    void chkLA2Inv_Click();
    void hsbPCM1_Change();
    void hsbPCM2_Change();
    void hsbFront_Change();
    void hsbRear_Change();
    void cmdAC97Help_Click();
    // Digital input and output.
    void chkDetOut_Click();
    void chkDetIn_Click();
    void chkEnOut_Click();
    void chkEnIn_Click();
    void optDigOut_Click(int index);
    void cmdFixDetect_Click();
};

}  // namespace app
