// Placeholder until the equalizer window lands.
#include "app/frm_main.h"

namespace app {
void FrmMain::cmdEQSettings_Click() {}
}  // namespace app
