// The settings load: every stored setting into the main window. Controls are set through
// their state, so their own handlers write back what was read and bring labels, pictures
// and enabled states into line.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "app/frm_main.h"
#include "detect/file_version.h"
#include "store/registry.h"
#include "store/schema.h"

namespace app {

namespace {

using store::kHKLM;
using store::REG_DWORD;

// The text to a 16-bit number; a text that is no number, or one that does not fit in 16 bits,
// gives nothing rather than a wrapped value.
std::optional<std::int16_t> To16(const std::string& text) {
    const auto number = store::ParseNumber(text);
    using Limits = std::numeric_limits<std::int16_t>;
    if (!number || *number < Limits::min() || *number > Limits::max()) return std::nullopt;
    return static_cast<std::int16_t>(*number);
}

// Sets a control to a loaded number when it can take it. A value it cannot take (missing,
// not a number, out of its range) leaves the control in its design state, so its handler
// does not run and nothing is written back for it.
void SetFrom(Control* control, std::optional<std::int32_t> number, int offset = 0) {
    if (!number) return;
    const std::int64_t position = static_cast<std::int64_t>(*number) + offset;
    using Limits = std::numeric_limits<int>;
    if (position < Limits::min() || position > Limits::max()) return;
    if (!control->Accepts(static_cast<int>(position))) return;
    control->SetValue(static_cast<int>(position));
}

void SetFrom16(Control* control, const std::string& text, int offset = 0) {
    const auto number = To16(text);
    SetFrom(control, number ? std::optional<std::int32_t>(*number) : std::nullopt, offset);
}

}  // namespace

void FrmMain::LoadSettings(bool overrideForm) {
    store::Registry& registry = app().registry();
    platform::Platform& platform = app().platform();
    auto read = [&](const char* key, const char* name) {
        return registry.FetchValue(kHKLM, key, name).str();
    };
    // A missing level reads as 0; one that is no 16-bit number is kept apart so that its bar
    // stays where it is.
    std::optional<std::int16_t> levels[4];
    auto readLevel = [&](const char* name, std::int16_t& copy, std::optional<std::int16_t>& level) {
        const std::string text = read(schema::kCustomization, name);
        level = text.empty() ? std::optional<std::int16_t>(0) : To16(text);
        copy = level.value_or(0);
    };

    // 1.
    txtAppPath->SetText(platform.StartFolder());
    // 2.
    copies.Prog = read(schema::kDirectXMedia, schema::kProg);
    // 3.
    readLevel(schema::kAC97PCMOutVol, copies.AC97PCMOutVol, levels[0]);
    readLevel(schema::kAC97PCM2OutVol, copies.AC97PCM2OutVol, levels[1]);
    readLevel(schema::kAC97MixerFrontOutVol, copies.AC97MixerFrontOutVol, levels[2]);
    readLevel(schema::kAC97MixerRearOutVol, copies.AC97MixerRearOutVol, levels[3]);
    copies.SpdifFrequency = read(schema::kCustomization, schema::kSpdifFrequency);
    // 4.
    copies.AspenWavetableEffect = read(schema::kControlPanel, schema::kAspenWavetableEffect);
    copies.DisableAC97Codec3DEffect =
        read(schema::kCustomization, schema::kDisableAC97Codec3DEffect);
    // 5.
    copies.SplashAudio = read(schema::kA3D, schema::kSplashAudio);
    copies.SplashScreen = read(schema::kA3D, schema::kSplashScreen);
    // 6.
    copies.ReverbAmount = read(schema::kControlPanel, schema::kReverbAmount);
    copies.ChorusAmount = read(schema::kControlPanel, schema::kChorusAmount);
    // 7.
    copies.ST9704ATTEN = read(schema::kCustomization, schema::kST9704ATTEN);
    copies.CorrectLA2 = read(schema::kCustomization, schema::kCorrectLA2);
    copies.ST9708LA4RearInversion = read(schema::kCustomization, schema::kST9708LA4RearInversion);
    copies.DetectSpdifOut = read(schema::kCustomization, schema::kDetectSpdifOut);
    copies.DetectSpdifIn = read(schema::kCustomization, schema::kDetectSpdifIn);
    copies.EnableSpdifOut = read(schema::kCustomization, schema::kEnableSpdifOut);
    copies.EnableSpdifIn = read(schema::kCustomization, schema::kEnableSpdifIn);
    // 8.
    copies.SoftSynthModeIndex = read(schema::kControlPanel, schema::kSoftSynthModeIndex);
    copies.HighPerformanceMIDI = read(schema::kControlPanel, schema::kHighPerformanceMIDI);
    copies.PrimaryXtalk = read(schema::kControlPanel, schema::kPrimaryXtalk);
    // 9. Any stored command counts; the box's handler rewrites it as the tray program's own.
    if (!overrideForm) {
        copies.AU30TRAY = read(schema::kRun, schema::kAU30TRAY);
        chkTray->SetValue(copies.AU30TRAY.empty() ? 0 : 1);
    }
    // 10.
    cmdOverride->SetVisible(false);
    // 11. The three values a fresh installation lacks.
    if (copies.HighPerformanceMIDI.empty()) {
        registry.StoreValue(kHKLM, schema::kControlPanel, schema::kHighPerformanceMIDI, 0,
                            REG_DWORD);
        copies.HighPerformanceMIDI = read(schema::kControlPanel, schema::kHighPerformanceMIDI);
    }
    if (copies.SplashAudio.empty()) {
        registry.EnsureKey(kHKLM, schema::kA3D);
        registry.StoreValue(kHKLM, schema::kA3D, schema::kSplashAudio, 0, REG_DWORD);
        copies.SplashAudio = read(schema::kA3D, schema::kSplashAudio);
    }
    if (copies.SplashScreen.empty()) {
        registry.EnsureKey(kHKLM, schema::kA3D);
        registry.StoreValue(kHKLM, schema::kA3D, schema::kSplashScreen, 0, REG_DWORD);
        copies.SplashScreen = read(schema::kA3D, schema::kSplashScreen);
    }
    // 12. The stored register value is the bar's position.
    Control* const bars[4] = {hsbPCM1, hsbPCM2, hsbFront, hsbRear};
    for (int i = 0; i < 4; ++i) {
        SetFrom(bars[i], levels[i] ? std::optional<std::int32_t>(*levels[i]) : std::nullopt);
    }
    // 13.
    SetFrom(hsbEffect1, store::ParseNumber(copies.ReverbAmount));
    SetFrom(hsbEffect2, store::ParseNumber(copies.ChorusAmount));
    // 14. A label follows its bar: one the bar could not take leaves both at their design.
    Control* const labels[4] = {lblPCM1, lblPCM2, lblFront, lblRear};
    for (int i = 0; i < 4; ++i) {
        if (levels[i] && bars[i]->Accepts(*levels[i])) {
            labels[i]->SetCaption(std::to_string(*levels[i]));
        }
    }
    // 15.
    lblDigOut->SetCaption(copies.SpdifFrequency);
    // 16.
    SetFrom16(chkMIDIfx, copies.AspenWavetableEffect);
    SetFrom16(chkST3D, copies.DisableAC97Codec3DEffect);
    // 17. The splash screen box shows its own stored flag, whatever the audio flag holds.
    if (copies.SplashAudio == "1") SetFrom16(chkPlayA3D, copies.SplashAudio);
    SetFrom16(chkA3DSplash, copies.SplashScreen);
    // 18.
    SetFrom16(chkAttenuation, copies.ST9704ATTEN);
    SetFrom16(chkLA2Inv, copies.CorrectLA2);
    SetFrom16(chkLA4Inv, copies.ST9708LA4RearInversion);
    // 19.
    lblDigOut->SetCaption(copies.SpdifFrequency);
    // 20.
    SetFrom16(chkDetOut, copies.DetectSpdifOut);
    SetFrom16(chkEnOut, copies.EnableSpdifOut);
    SetFrom16(chkDetIn, copies.DetectSpdifIn);
    SetFrom16(chkEnIn, copies.EnableSpdifIn);
    // 21.
    SetFrom16(cboWavetableMode, copies.SoftSynthModeIndex);
    // 22. Stored 1 to 4 are the positions 0 to 3; 0 gives no selection.
    SetFrom16(cboA3DType, copies.PrimaryXtalk, -1);
    // 23.
    SetFrom16(chkHighPerfMIDI, copies.HighPerformanceMIDI);
    // 24. Older driver packages name their file admaud30.sys.
    txtA3DVer->SetText(detect::FileVersionText(platform, "a3d.dll"));
    txtA3DAPI->SetText(detect::FileVersionText(platform, "a3dapi.dll"));
    std::string driverFile = "drivers\\adm8830.sys";
    txtDrvVer->SetText(detect::FileVersionText(platform, driverFile));
    if (txtDrvVer->text() == "N/A") {
        txtDrvVer->SetText(detect::FileVersionText(platform, "drivers\\admaud30.sys"));
        if (txtDrvVer->text() != "N/A") driverFile = "drivers\\admaud30.sys";
    }

    // An "Enable" box is usable only while its "Detected" box is checked; a "Detected" value
    // the box could not take counts as unchecked.
    auto stepsAfterVersions = [&] {
        // 25.
        cmdReset->SetEnabled(true);
        // 26.
        if (chkDetOut->value() == 0) chkEnOut->SetEnabled(false);
        if (chkDetIn->value() == 0) chkEnIn->SetEnabled(false);
    };
    // 27. The size of the very file whose version is shown, found by the same search; the
    // advice tells driver packages apart by it.
    auto driverSize = [&] {
        const std::string path = platform.LocateFile(driverFile);
        if (path.empty()) return;
        const platform::FileSize size = platform.SizeOfFile(path);
        if (size.bytes) txtADMSize->SetText(std::to_string(*size.bytes));
    };
    if (overrideForm) {
        driverSize();
        stepsAfterVersions();
    } else {
        stepsAfterVersions();
        driverSize();
    }
}

}  // namespace app
