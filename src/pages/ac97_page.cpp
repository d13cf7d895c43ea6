#include "pages/ac97_page.h"

#include "settings/schema.h"

namespace pages {

using ui::Kind;

namespace {
// Bars run from +12 dB at the left (0) to -34.5 dB at the right (31).
constexpr int kBarLeft = 1920;
constexpr int kBarWidth = 2655;
constexpr int kFirstRow = 2130;
constexpr int kRowStep = 420;
constexpr int kPCM1 = 0, kPCM2 = 1, kFront = 2, kRear = 3;
}  // namespace

void AC97Page::Build() {
    cmdAC97Help = &Add(Kind::Button, "cmdAC97Help", "?", {4680, 1740, 315, 315});
    chkLA4Inv = &Add(Kind::CheckBox, "chkLA4Inv", "ST9708LA&4 Rear Phase Inversion",
                     {240, 1080, 4335, 285});
    chkLA4Inv->tooltip = "Corrects for phase inversion with 4.1 speaker sets";
    chkLA2Inv = &Add(Kind::CheckBox, "chkLA2Inv", "ST&9708LA2 Rear Phase Inversion",
                     {240, 1380, 4335, 285});
    chkLA2Inv->tooltip = "Corrects for phase inversion with 4.1 speaker sets";
    chkAttenuation = &Add(Kind::CheckBox, "chkAttenuation", "&Enable SigmaTel ST9704 Attenuation",
                          {240, 780, 4335, 285});
    auto bar = [&](const char* name, int row) {
        Control* b =
            &Add(Kind::ScrollBar, name, "", {kBarLeft, kFirstRow + row * kRowStep, kBarWidth, 255});
        b->min = 0;
        b->max = 31;
        b->smallChange = 1;
        b->largeChange = 1;
        return b;
    };
    hsbRear = bar("hsbRear", kRear);
    hsbFront = bar("hsbFront", kFront);
    hsbPCM2 = bar("hsbPCM2", kPCM2);
    hsbPCM1 = bar("hsbPCM1", kPCM1);
    chkST3D = &Add(Kind::CheckBox, "chkST3D", "&Disable SigmaTel 3D Surround Enhancement",
                   {240, 480, 4335, 285});
    chkST3D->tooltip = "Disables AC'97 codec built-in 3D effect";
    constexpr int kScaleTop = kFirstRow - 300;
    Label3 =
        &Add(Kind::Label, "Label3", "-34.5dB", {kBarLeft + kBarWidth - 735, kScaleTop, 735, 255});
    Label2 = &Add(Kind::Label, "Label2", "+12db", {kBarLeft, kScaleTop, 615, 255});
    // "0db" stands above the bar's value 8.
    Label1 = &Add(Kind::Label, "Label1", "0db",
                  {kBarLeft + kBarWidth * 8 / 31 + 60, kScaleTop, 495, 255});
    auto number = [&](const char* name, int row) {
        return &Add(Kind::Label, name, "0",
                    {kBarLeft + kBarWidth + 105, kFirstRow + row * kRowStep, 375, 255});
    };
    lblRear = number("lblRear", kRear);
    lblFront = number("lblFront", kFront);
    lblPCM2 = number("lblPCM2", kPCM2);
    lblPCM1 = number("lblPCM1", kPCM1);
    auto caption = [&](const char* name, const char* text, int row) {
        return &Add(Kind::Label, name, text, {240, kFirstRow + row * kRowStep, 1620, 255});
    };
    Label10 = caption("Label10", "AC'97 Rear Output", kRear);
    Label9 = caption("Label9", "AC'97 Front Output", kFront);
    Label8 = caption("Label8", "PCM 2 Out Level", kPCM2);
    Label7 = caption("Label7", "PCM 1 Out Level", kPCM1);
    // Each row's caption and number stand on the middle of its bar.
    const struct {
        Control* caption;
        Control* number;
        const Control* bar;
    } rows[] = {{Label7, lblPCM1, hsbPCM1},
                {Label8, lblPCM2, hsbPCM2},
                {Label9, lblFront, hsbFront},
                {Label10, lblRear, hsbRear}};
    for (const auto& row : rows) {
        row.caption->lineUpWith = row.bar;
        row.number->lineUpWith = row.bar;
    }

    cmdAC97Help->onChange = [this] { cmdAC97Help_Click(); };
    chkLA4Inv->onChange = [this] { chkLA4Inv_Click(); };
    chkLA2Inv->onChange = [this] { chkLA2Inv_Click(); };
    chkAttenuation->onChange = [this] { chkAttenuation_Click(); };
    for (int i : {kRear, kFront, kPCM2, kPCM1}) {
        LevelAt(i).bar->onChange = [this, i] { hsbLevel_Change(i); };
    }
    chkST3D->onChange = [this] { chkST3D_Click(); };
}

AC97Page::Level AC97Page::LevelAt(int index) {
    switch (index) {
        case kPCM1:
            return {schema::kAC97PCMOutVol, &held.AC97PCMOutVol, hsbPCM1, lblPCM1};
        case kPCM2:
            return {schema::kAC97PCM2OutVol, &held.AC97PCM2OutVol, hsbPCM2, lblPCM2};
        case kFront:
            return {schema::kAC97MixerFrontOutVol, &held.AC97MixerFrontOutVol, hsbFront, lblFront};
        default:
            return {schema::kAC97MixerRearOutVol, &held.AC97MixerRearOutVol, hsbRear, lblRear};
    }
}

// A missing level reads as 0.
void AC97Page::ReadSettings() {
    for (int i = kPCM1; i <= kRear; ++i) {
        const Level level = LevelAt(i);
        const std::string text = Read(schema::kCustomization, level.name);
        loadedLevels_[i] =
            text.empty() ? std::optional<std::int16_t>(0) : settings::ParseInt16(text);
        *level.held = loadedLevels_[i].value_or(0);
    }
    held.DisableAC97Codec3DEffect = Read(schema::kCustomization, schema::kDisableAC97Codec3DEffect);
    held.ST9704ATTEN = Read(schema::kCustomization, schema::kST9704ATTEN);
    held.CorrectLA2 = Read(schema::kCustomization, schema::kCorrectLA2);
    held.ST9708LA4RearInversion = Read(schema::kCustomization, schema::kST9708LA4RearInversion);
}

// The stored register value is the bar's position. A label follows its bar: a level the bar
// could not take leaves both at their design.
void AC97Page::ShowLevels() {
    for (int i = kPCM1; i <= kRear; ++i) {
        const Level level = LevelAt(i);
        const auto& loaded = loadedLevels_[i];
        SetFrom(level.bar, loaded ? std::optional<std::int32_t>(*loaded) : std::nullopt);
        if (loaded && level.bar->Accepts(*loaded)) {
            level.label->SetCaption(std::to_string(*loaded));
        }
    }
}

void AC97Page::Show3DSwitch() {
    SetFrom16(chkST3D, held.DisableAC97Codec3DEffect);
}

void AC97Page::ShowOptions() {
    SetFrom16(chkAttenuation, held.ST9704ATTEN);
    SetFrom16(chkLA2Inv, held.CorrectLA2);
    SetFrom16(chkLA4Inv, held.ST9708LA4RearInversion);
}

void AC97Page::chkST3D_Click() {
    StoreCheck(chkST3D, schema::kCustomization, schema::kDisableAC97Codec3DEffect,
               held.DisableAC97Codec3DEffect);
}

void AC97Page::chkAttenuation_Click() {
    StoreCheck(chkAttenuation, schema::kCustomization, schema::kST9704ATTEN, held.ST9704ATTEN);
}

void AC97Page::chkLA4Inv_Click() {
    StoreCheck(chkLA4Inv, schema::kCustomization, schema::kST9708LA4RearInversion,
               held.ST9708LA4RearInversion);
}

void AC97Page::chkLA2Inv_Click() {
    StoreCheck(chkLA2Inv, schema::kCustomization, schema::kCorrectLA2, held.CorrectLA2);
}

void AC97Page::hsbLevel_Change(int index) {
    const Level level = LevelAt(index);
    *level.held = static_cast<std::int16_t>(level.bar->value());
    level.label->SetCaption(std::to_string(*level.held));
    Store(schema::kCustomization, level.name, std::to_string(*level.held));
}

void AC97Page::cmdAC97Help_Click() {
    app().Show({"Information", "0 = +12dB, 1 = +10.5dB, 8 = 0dB (Default), 31 = -34.5dB",
                ui::Icon::Information, ui::Buttons::Ok});
}

}  // namespace pages
