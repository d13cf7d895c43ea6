// The tray program starts with Windows through its Run value; the value takes effect at the
// next logon, nothing is started or stopped now.
#include "app/frm_main.h"
#include "store/registry.h"
#include "store/schema.h"

namespace app {

void FrmMain::chkTray_Click() {
    if (chkTray->value() == 1) {
        app().registry().StoreValue(store::kHKLM, schema::kRun, schema::kAU30TRAY, "au30tray.exe",
                                    store::REG_SZ);
    } else {
        app().registry().EraseValue(store::kHKLM, schema::kRun, schema::kAU30TRAY);
    }
}

}  // namespace app
