// Every key path and value name the system reads, writes or deletes, defined once.
// All keys are under HKEY_LOCAL_MACHINE; key names compare without regard to case.
#pragma once

namespace schema {

// Keys.
inline constexpr const char* kControlPanel =
    "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\ControlPanel";
inline constexpr const char* kCustomization =
    "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\Customization";
inline constexpr const char* kSpdifEnableList =
    "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\Customization\\SpdifEnableList";
inline constexpr const char* kDriverEqualizer =
    "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\Equalizer";
inline constexpr const char* kA3D = "Software\\Aureal\\A3D";
// The card software's equalizer key is written in upper case and read in mixed case: one key.
inline constexpr const char* kAU8830Equalizer = "Software\\Aureal\\Vortex\\AU8830\\Equalizer";
inline constexpr const char* kAU8830EqualizerUpper = "SOFTWARE\\Aureal\\Vortex\\AU8830\\Equalizer";
inline constexpr const char* kSpeakerCompensation =
    "Software\\Aureal\\Vortex\\AU8830\\SpeakerCompensation";
inline constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kDirectXMedia = "SOFTWARE\\Microsoft\\Multimedia\\DirectXMedia";
inline constexpr const char* kWpcrsetParameters =
    "SYSTEM\\CurrentControlSet\\Services\\WPCRSET\\Parameters";
inline constexpr const char* kWpcrsetService = "SYSTEM\\CurrentControlSet\\Services\\WPCRSET";

// ControlPanel values.
inline constexpr const char* kPrimaryXtalk = "PrimaryXtalk";
inline constexpr const char* kGamerMode = "GamerMode";
inline constexpr const char* kSoftSynthVoices = "SoftSynthVoices";
inline constexpr const char* kSoftSynthMode = "SoftSynthMode";
inline constexpr const char* kSoftSynthModeIndex = "SoftSynthModeIndex";
inline constexpr const char* kSoftSynth = "SoftSynth";
inline constexpr const char* kHighPerformanceMIDI = "HighPerformanceMIDI";
inline constexpr const char* kAspenWavetableEffect = "AspenWavetableEffect";
inline constexpr const char* kReverbAmount = "ReverbAmount";
inline constexpr const char* kChorusAmount = "ChorusAmount";
inline constexpr const char* kFxSelectParams = "FxSelectParams";
inline constexpr const char* kAC97MixerLocation = "AC97MixerLocation";
inline constexpr const char* kAnalogEQSrcLine = "AnalogEQSrcLine";
inline constexpr const char* kAnalogEQEnableState = "AnalogEQEnableState";
inline constexpr const char* kQuadCodecOutputModeState = "QuadCodecOutputModeState";
inline constexpr const char* kVIAFix = "VIAFix";
inline constexpr const char* kVIAAGP = "VIAAGP";

// Customization values.
inline constexpr const char* kAC97PCMOutVol = "AC97PCMOutVol";
inline constexpr const char* kAC97PCM2OutVol = "AC97PCM2OutVol";
inline constexpr const char* kAC97MixerFrontOutVol = "AC97MixerFrontOutVol";
inline constexpr const char* kAC97MixerRearOutVol = "AC97MixerRearOutVol";
inline constexpr const char* kSpdifFrequency = "SpdifFrequency";
inline constexpr const char* kDisableAC97Codec3DEffect = "DisableAC97Codec3DEffect";
inline constexpr const char* kST9704ATTEN = "ST9704ATTEN";
inline constexpr const char* kCorrectLA2 = "CorrectLA2";
inline constexpr const char* kST9708LA4RearInversion = "ST9708LA4RearInversion";
inline constexpr const char* kDetectSpdifOut = "DetectSpdifOut";
inline constexpr const char* kEnableSpdifOut = "EnableSpdifOut";
inline constexpr const char* kDetectSpdifIn = "DetectSpdifIn";
inline constexpr const char* kEnableSpdifIn = "EnableSpdifIn";
inline constexpr const char* kSupportAnalogEQ = "SupportAnalogEQ";
inline constexpr const char* kSetGPIO0InQuad = "SetGPIO0InQuad";
inline constexpr const char* kControlPanelPageConfig = "ControlPanelPageConfig";

// DriverEqualizer values.
inline constexpr const char* kEqBypass = "EqBypass";
inline constexpr const char* kActiveCoefSet = "ActiveCoefSet";
inline constexpr const char* kCoefSet0 = "CoefSet0";

// Card software values.
inline constexpr const char* kPresetNumber = "PresetNumber";
inline constexpr const char* kCurrSpeakerComp = "CurrSpeakerComp";

// A3D values.
inline constexpr const char* kSplashScreen = "SplashScreen";
inline constexpr const char* kSplashAudio = "SplashAudio";

// Windows values.
inline constexpr const char* kAU30TRAY = "AU30TRAY";
inline constexpr const char* kProg = ".Prog";

// WPCRSET values (both keys carry a "Start").
inline constexpr const char* kStart = "Start";
inline constexpr const char* kRegCnt = "RegCnt";
// "Reg00" to "Reg15": two digits always.
inline constexpr int kRecordSlots = 16;

}  // namespace schema
