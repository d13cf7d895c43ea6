// The A3D speaker type and the two splash flags, read by the A3D runtime.
#include <string>

#include "app/frm_main.h"
#include "store/registry.h"
#include "store/schema.h"

namespace app {

void FrmMain::cboA3DType_Click() {
    Control* const pictures[4] = {imgPhones, imgSat, imgMon, imgQuad};
    for (int position = 0; position < 4; ++position) {
        if (cboA3DType->value() != position) continue;
        for (int i = 0; i < 4; ++i) pictures[i]->SetVisible(i == position);
        app().registry().StoreValue(store::kHKLM, schema::kControlPanel, schema::kPrimaryXtalk,
                                    position + 1, store::REG_DWORD);
    }
}

void FrmMain::chkA3DSplash_Click() {
    copies.SplashScreen = std::to_string(chkA3DSplash->value());
    app().registry().StoreValue(store::kHKLM, schema::kA3D, schema::kSplashScreen,
                                copies.SplashScreen, store::REG_DWORD);
}

void FrmMain::chkPlayA3D_Click() {
    copies.SplashAudio = std::to_string(chkPlayA3D->value());
    app().registry().StoreValue(store::kHKLM, schema::kA3D, schema::kSplashAudio,
                                copies.SplashAudio, store::REG_DWORD);
}

}  // namespace app
