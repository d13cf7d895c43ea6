// Placeholders until the settings load and the setting pages land.
#include "app/frm_main.h"

namespace app {
void FrmMain::LoadSettings(bool) {
    cmdOverride->SetVisible(false);
    cmdReset->SetEnabled(true);
}
void FrmMain::cmdDrvVerHlp_Click() {}
void FrmMain::cboA3DType_Click() {}
void FrmMain::chkA3DSplash_Click() {}
void FrmMain::chkPlayA3D_Click() {}
void FrmMain::cboWavetableMode_Click() {}
void FrmMain::chkHighPerfMIDI_Click() {}
void FrmMain::chkMIDIfx_Click() {}
void FrmMain::cboEffect1_Click() {}
void FrmMain::cboEffect2_Click() {}
void FrmMain::hsbEffect1_Change() {}
void FrmMain::hsbEffect2_Change() {}
void FrmMain::StoreEffectSelection() {}
void FrmMain::chkST3D_Click() {}
void FrmMain::chkAttenuation_Click() {}
void FrmMain::chkLA4Inv_Click() {}
void FrmMain::chkLA2Inv_Click() {}
void FrmMain::hsbPCM1_Change() {}
void FrmMain::hsbPCM2_Change() {}
void FrmMain::hsbFront_Change() {}
void FrmMain::hsbRear_Change() {}
void FrmMain::cmdAC97Help_Click() {}
void FrmMain::chkDetOut_Click() {}
void FrmMain::chkDetIn_Click() {}
void FrmMain::chkEnOut_Click() {}
void FrmMain::chkEnIn_Click() {}
void FrmMain::optDigOut_Click(int) {}
void FrmMain::cmdFixDetect_Click() {}
void FrmMain::chkTray_Click() {}
}  // namespace app
