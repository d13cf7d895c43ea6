// Placeholders until the WPCRSET and reset windows land.
#include "app/frm_main.h"

namespace app {
void FrmMain::cmdReset_Click() {}
void FrmMain::cmdWPCRSET_Click() {}
}  // namespace app
