// The AC'97 codec's options and output levels. A level is the codec's volume register itself
// (0 = +12 dB, 1.5 dB a step), so bar, label and stored value are one number.
#include <cstdint>
#include <string>

#include "app/frm_main.h"
#include "store/registry.h"
#include "store/schema.h"

namespace app {

namespace {

void StoreCustomization(ui::App& app, const char* name, const std::string& text) {
    app.registry().StoreValue(store::kHKLM, schema::kCustomization, name, text, store::REG_DWORD);
}

}  // namespace

void FrmMain::chkST3D_Click() {
    copies.DisableAC97Codec3DEffect = std::to_string(chkST3D->value());
    StoreCustomization(app(), schema::kDisableAC97Codec3DEffect, copies.DisableAC97Codec3DEffect);
}

void FrmMain::chkAttenuation_Click() {
    copies.ST9704ATTEN = std::to_string(chkAttenuation->value());
    StoreCustomization(app(), schema::kST9704ATTEN, copies.ST9704ATTEN);
}

void FrmMain::chkLA4Inv_Click() {
    copies.ST9708LA4RearInversion = std::to_string(chkLA4Inv->value());
    StoreCustomization(app(), schema::kST9708LA4RearInversion, copies.ST9708LA4RearInversion);
}

void FrmMain::chkLA2Inv_Click() {
    copies.CorrectLA2 = std::to_string(chkLA2Inv->value());
    StoreCustomization(app(), schema::kCorrectLA2, copies.CorrectLA2);
}

void FrmMain::hsbPCM1_Change() {
    copies.AC97PCMOutVol = static_cast<std::int16_t>(hsbPCM1->value());
    lblPCM1->SetCaption(std::to_string(copies.AC97PCMOutVol));
    StoreCustomization(app(), schema::kAC97PCMOutVol, std::to_string(copies.AC97PCMOutVol));
}

void FrmMain::hsbPCM2_Change() {
    copies.AC97PCM2OutVol = static_cast<std::int16_t>(hsbPCM2->value());
    lblPCM2->SetCaption(std::to_string(copies.AC97PCM2OutVol));
    StoreCustomization(app(), schema::kAC97PCM2OutVol, std::to_string(copies.AC97PCM2OutVol));
}

void FrmMain::hsbFront_Change() {
    copies.AC97MixerFrontOutVol = static_cast<std::int16_t>(hsbFront->value());
    lblFront->SetCaption(std::to_string(copies.AC97MixerFrontOutVol));
    StoreCustomization(app(), schema::kAC97MixerFrontOutVol,
                       std::to_string(copies.AC97MixerFrontOutVol));
}

void FrmMain::hsbRear_Change() {
    copies.AC97MixerRearOutVol = static_cast<std::int16_t>(hsbRear->value());
    lblRear->SetCaption(std::to_string(copies.AC97MixerRearOutVol));
    StoreCustomization(app(), schema::kAC97MixerRearOutVol,
                       std::to_string(copies.AC97MixerRearOutVol));
}

void FrmMain::cmdAC97Help_Click() {
    app().Show({"Information", "0 = +12dB, 1 = +10.5dB, 8 = 0dB (Default), 31 = -34.5dB",
                ui::Icon::Information, ui::Buttons::Ok});
}

}  // namespace app
