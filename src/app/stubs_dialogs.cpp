// Placeholders until the quad, mixer location and About windows and the tools list land.
#include "app/frm_main.h"

namespace app {
void FrmMain::cmdAbout_Click() {}
void FrmMain::cmdAboutA3D_Click() {}
void FrmMain::cmdQuad_Click() {}
void FrmMain::ListView1_DblClick() {}
}  // namespace app
