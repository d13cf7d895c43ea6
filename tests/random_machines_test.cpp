// Random machines: registries filled with anything at all where the system reads its settings
// (wrong types, texts where numbers belong, numbers out of every range, NULs inside texts,
// huge texts, missing values and keys), on any Windows version, then every window opened and
// clicked through. Nothing may crash, no control may hold a value it cannot take, the main
// window must come back usable whenever the others are gone, no key may stay open, and every
// write must be one the system defines, with its type (and, where a control chose it, its range).
//
// 1,000 machines by default; CALVENOR_RANDOM_MACHINES=N runs N, CALVENOR_RANDOM_FIRST=K starts
// at machine K (a failure names the machine, so it can be run again alone).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "main_window/frm_main.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "support/memory_registry.h"
#include "support/scenario.h"
#include "support/write_rules.h"
#include "ui/app.h"

namespace {

using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_SZ;
using testing_support::Judge;
using testing_support::Rule;
using testing_support::Rules;
using testing_support::Write;

// Anything a value might hold on a machine that others have been at.
class Filler {
  public:
    explicit Filler(std::uint32_t seed) : random_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool Chance(int percent) { return Below(100) < percent; }
    std::mt19937& random() { return random_; }

    std::int32_t Number() {
        static const std::int32_t kEdges[] = {0,
                                              1,
                                              -1,
                                              2,
                                              3,
                                              4,
                                              5,
                                              6,
                                              7,
                                              8,
                                              31,
                                              32,
                                              63,
                                              64,
                                              127,
                                              128,
                                              255,
                                              256,
                                              32000,
                                              44100,
                                              48000,
                                              65535,
                                              65536,
                                              32767,
                                              32768,
                                              -32768,
                                              -32769,
                                              std::numeric_limits<std::int32_t>::max(),
                                              std::numeric_limits<std::int32_t>::min()};
        switch (Below(3)) {
            case 0:
                return kEdges[Below(sizeof kEdges / sizeof kEdges[0])];
            case 1:
                return Below(300) - 20;
            default:
                return static_cast<std::int32_t>(random_());
        }
    }

    std::string Text() {
        switch (Below(9)) {
            case 0:
                return "";
            case 1:
                return std::to_string(Number());
            case 2:  // a number the layer reads, dressed up
                return std::string(Below(3), ' ') + (Chance(50) ? "+" : "-") +
                       std::to_string(Below(200));
            case 3: {  // not quite a number
                static const char* const kAlmost[] = {"0x10", "1e3", "12abc",       "3.5",
                                                      " ",    "--1", "99999999999", "4294967296",
                                                      "+",    "٣"};
                return kAlmost[Below(10)];
            }
            case 4: {  // NULs inside
                std::string text = std::to_string(Below(10));
                text.push_back('\0');
                text += "junk";
                if (Chance(50)) text.push_back('\0');
                return text;
            }
            case 5:  // huge
                return std::string(static_cast<std::size_t>(70000 + Below(70000)),
                                   static_cast<char>('0' + Below(10)));
            case 6: {  // any bytes
                std::string text(static_cast<std::size_t>(Below(40)), '\0');
                for (char& c : text) c = static_cast<char>(Below(256));
                return text;
            }
            case 7:
                return "Philips DSS330";
            default:
                return "au30tray.exe";
        }
    }

    std::vector<std::uint8_t> Value(std::uint32_t* type) {
        std::vector<std::uint8_t> data;
        switch (Below(10)) {
            case 0:
            case 1:
            case 2:
            case 3: {
                *type = REG_DWORD;
                const auto bits = static_cast<std::uint32_t>(Number());
                data = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                        static_cast<std::uint8_t>(bits >> 16),
                        static_cast<std::uint8_t>(bits >> 24)};
                // Now and then a "number" of the wrong length.
                if (Chance(10)) data.resize(static_cast<std::size_t>(Below(9)));
                return data;
            }
            case 4:
            case 5:
            case 6: {
                *type = REG_SZ;
                const std::string text = Text();
                data.assign(text.begin(), text.end());
                if (Chance(50)) data.push_back(0);  // as regedit stores it
                return data;
            }
            default: {
                static const std::uint32_t kOthers[] = {
                    REG_BINARY, platform::REG_NONE, platform::REG_EXPAND_SZ, platform::REG_MULTI_SZ,
                    11,         0xFFFFFFFF};
                *type = kOthers[Below(6)];
                data.resize(static_cast<std::size_t>(Below(300)));
                for (auto& byte : data) byte = static_cast<std::uint8_t>(Below(256));
                return data;
            }
        }
    }

    // The key path in a random spelling: the registry ignores case.
    std::string Spelling(const std::string& path) {
        if (Chance(70)) return path;
        std::string out = path;
        for (char& c : out) {
            if (Chance(50)) c = static_cast<char>(Chance(50) ? std::toupper(c) : std::tolower(c));
        }
        return out;
    }

  private:
    std::mt19937 random_;
};

bool HasValue(ui::Kind kind) {
    return kind == ui::Kind::CheckBox || kind == ui::Kind::Option || kind == ui::Kind::List ||
           kind == ui::Kind::ScrollBar || kind == ui::Kind::Slider || kind == ui::Kind::IconList ||
           kind == ui::Kind::Tabs;
}

// Answers questions as a user who mostly says yes.
class Answerer : public ui::Prompter {
  public:
    explicit Answerer(Filler& filler) : filler_(filler) {}
    ui::Answer Show(const ui::Message& message) override {
        ++shown;
        if (message.buttons == ui::Buttons::Ok) return ui::Answer::Ok;
        return filler_.Chance(80) ? ui::Answer::Yes : ui::Answer::No;
    }
    int shown = 0;

  private:
    Filler& filler_;
};

// What the walks reached, over all machines: proof that they went everywhere.
struct Reach {
    std::set<std::string> windows;  // every window opened
    std::set<std::string> buttons;  // "frmX.cmdY" pressed
    std::set<std::string> values;   // "frmX.ctl=N" held after an action
    std::uint64_t actions = 0;
    std::uint64_t writes = 0;
    std::uint64_t messages = 0;
};

// One made-up machine and a user who clicks through everything on it.
class Machine {
  public:
    Machine(std::uint32_t number, Reach& reach)
        : number_(number),
          reach_(reach),
          filler_(number * 2654435761u + 12345u),
          recorder_(memory_),
          platform_(recorder_),
          registry_(recorder_),
          answerer_(filler_),
          app_(registry_, platform_, answerer_) {}

    // Returns "" or what went wrong.
    std::string Run() {
        Fill();
        app_.Open<main_window::FrmMain>().Show();
        Settle("start");
        auto* main = dynamic_cast<main_window::FrmMain*>(app_.FindForm("frmMain"));
        if (main == nullptr) return Failed("no main window after start");
        if (main->cmdOverride->Usable())
            Act("click frmMain.cmdOverride", [&] { main->cmdOverride->Click(); });
        Exercise(*main);
        for (const auto& c : main->controls()) {
            if (!failure_.empty() || app_.Ended()) break;
            if (c->kind() == ui::Kind::Button && c.get() != main->cmdOK) Opener(*main, *c);
        }
        if (failure_.empty() && !app_.Ended() && main->cmdOK->Usable()) {
            Act("click frmMain.cmdOK", [&] { main->cmdOK->Click(); });
            if (failure_.empty() && !app_.Ended()) Failed("the main window's OK did not end");
        }
        reach_.writes += recorder_.writes.size();
        reach_.messages += static_cast<std::uint64_t>(answerer_.shown);
        if (failure_.empty()) {
            for (const Write& write : recorder_.writes) {
                const std::string why = Judge(write);
                if (!why.empty()) {
                    Failed("wrote " + why + ": " + write.str().substr(0, 200));
                    break;
                }
            }
        }
        return failure_;
    }

  private:
    std::string Failed(const std::string& what) {
        if (failure_.empty()) {
            std::ostringstream text;
            text << "machine " << number_ << ": " << what << "\n  last actions:";
            const std::size_t from = trail_.size() > 8 ? trail_.size() - 8 : 0;
            for (std::size_t i = from; i < trail_.size(); ++i) text << "\n    " << trail_[i];
            failure_ = text.str();
        }
        return failure_;
    }

    void Fill() {
        // The Windows version: mostly XP, sometimes another, sometimes a query that fails.
        if (!filler_.Chance(5)) {
            platform::OsVersion os;
            const bool xp = filler_.Chance(80);
            os.platformId = xp ? 2 : static_cast<std::uint32_t>(filler_.Below(4));
            os.major = xp ? 5 : static_cast<std::uint32_t>(filler_.Below(11));
            os.minor = xp ? 1 : static_cast<std::uint32_t>(filler_.Below(4));
            os.build = static_cast<std::uint32_t>(filler_.Number());
            os.csdVersion = filler_.Text().substr(0, 200);
            os.csdVersion.resize(128, '\0');
            platform_.version = os;
        }
        for (const char* file :
             {"a3d.dll", "a3dapi.dll", "drivers\\adm8830.sys", "drivers\\admaud30.sys"}) {
            if (filler_.Chance(25)) continue;
            testing_support::FakePlatform::File entry;
            if (filler_.Chance(80)) {
                entry.version =
                    platform::FixedFileVersion{static_cast<std::uint32_t>(filler_.Number()),
                                               static_cast<std::uint32_t>(filler_.Number())};
            }
            if (filler_.Chance(80)) entry.size = static_cast<std::uint32_t>(filler_.Number());
            platform_.files[file] = entry;
        }
        // Every value the system reads or writes, each key possibly missing.
        std::map<std::string, bool> keyPresent;
        for (const Rule& rule : Rules()) {
            if (!keyPresent.count(rule.key)) keyPresent[rule.key] = filler_.Chance(85);
        }
        for (const Rule& rule : Rules()) {
            if (!keyPresent[rule.key] || filler_.Chance(20)) continue;
            Put(rule.key, rule.name);
        }
        for (const auto& [key, present] : keyPresent) {
            if (present) Create(key);
            // Values nobody defined, beside the real ones.
            if (present && filler_.Chance(20)) Put(key, filler_.Text().substr(0, 30));
        }
        // The start commands that succeed.
        if (filler_.Chance(50)) {
            for (const char* command : {"sndvol32.exe", "sndrec32.exe", "dxdiag.exe"}) {
                platform_.startable.insert(command);
            }
        }
        // Now and then a registry the user may not write, or in which keys cannot be created.
        memory_.readOnly = filler_.Chance(4);
        memory_.refuseCreate = filler_.Chance(4);
    }

    void Create(const std::string& key) {
        platform::HKey handle = 0;
        memory_.CreateKey(platform::kHKLM, filler_.Spelling(key), &handle);
        memory_.CloseKey(handle);
    }

    void Put(const std::string& key, const std::string& name) {
        platform::HKey handle = 0;
        if (memory_.CreateKey(platform::kHKLM, filler_.Spelling(key), &handle) != 0) return;
        std::uint32_t type = 0;
        const auto data = filler_.Value(&type);
        memory_.SetValue(handle, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
        memory_.CloseKey(handle);
    }

    std::set<ui::Form*> OpenForms() const {
        const auto forms = app_.Forms();
        return {forms.begin(), forms.end()};
    }

    // After every action: the rules that always hold, then the windows it opened are walked
    // through and closed again.
    void Settle(const std::string& action) {
        app_.Collect();
        trail_.push_back(action);
        ++reach_.actions;
        if (action.rfind("click ", 0) == 0) reach_.buttons.insert(action.substr(6));
        for (ui::Form* form : app_.Forms()) {
            reach_.windows.insert(form->name());
            for (const auto& c : form->controls()) {
                if (HasValue(c->kind())) {
                    reach_.values.insert(form->name() + "." + c->id() + "=" +
                                         std::to_string(c->value()));
                }
                if (HasValue(c->kind()) && !c->Accepts(c->value())) {
                    Failed(form->name() + "." + c->id() + " holds " + std::to_string(c->value()) +
                           ", outside its range");
                    return;
                }
            }
        }
        if (memory_.OpenHandles() != 0) {
            Failed(std::to_string(memory_.OpenHandles()) + " registry keys left open");
            return;
        }
        if (app_.Ended()) return;
        ui::Form* main = app_.FindForm("frmMain");
        if (main == nullptr) {
            Failed("the main window is gone but the system did not end");
            return;
        }
        if (app_.Forms().size() == 1 && (!main->visible() || !main->enabled())) {
            Failed("the main window is left hidden or disabled with no other window open");
        }
    }

    void Act(const std::string& action, const std::function<void()>& body, int depth = 0) {
        if (!failure_.empty() || app_.Ended()) return;
        const auto before = OpenForms();
        body();
        Settle(action);
        if (!failure_.empty() || app_.Ended()) return;
        // Windows this action opened: walk their values, then close them as a user would.
        std::vector<ui::Form*> opened;
        for (ui::Form* form : app_.Forms()) {
            if (!before.count(form)) opened.push_back(form);
        }
        if (depth > 3) return;
        for (ui::Form* form : opened) {
            if (!OpenForms().count(form) || form->unloaded()) continue;
            Exercise(*form, depth + 1);
        }
        for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
            if (!failure_.empty() || app_.Ended()) return;
            if (!OpenForms().count(*it) || (*it)->unloaded()) continue;
            const std::string name = (*it)->name();
            Act(
                "close " + name, [form = *it] { form->RequestClose(); }, depth + 1);
            if (ui::Form* still = app_.FindForm(name); still == *it && !still->unloaded()) {
                Failed("closing " + name + " left it open");
            }
        }
    }

    // Every value control of a window through its range, in an order of this machine's own;
    // then, for windows other than the main one unless told not to, every button.
    void Exercise(ui::Form& form, int depth = 0, bool buttons = true) {
        std::vector<ui::Control*> controls;
        for (const auto& c : form.controls()) controls.push_back(c.get());
        std::shuffle(controls.begin(), controls.end(), filler_.random());
        const auto alive = [&] {
            return failure_.empty() && !app_.Ended() && OpenForms().count(&form) &&
                   !form.unloaded();
        };
        for (ui::Control* c : controls) {
            if (!alive()) return;
            if (!c->Usable()) continue;
            const std::string target = form.name() + "." + c->id();
            switch (c->kind()) {
                case ui::Kind::CheckBox:
                    for (int i = 0; i < 2 && alive() && c->Usable(); ++i) {
                        Act(
                            "click " + target, [c] { c->SetValue(c->value() == 1 ? 0 : 1); },
                            depth);
                    }
                    break;
                case ui::Kind::Option:
                    Act(
                        "click " + target, [c] { c->SetValue(1); }, depth);
                    break;
                case ui::Kind::List:
                case ui::Kind::Tabs: {
                    std::vector<int> positions;
                    for (int i = 0; i < static_cast<int>(c->items.size()); ++i)
                        positions.push_back(i);
                    std::shuffle(positions.begin(), positions.end(), filler_.random());
                    for (int i : positions) {
                        if (!alive() || !c->Usable()) break;
                        Act(
                            "select " + target + " " + std::to_string(i),
                            [c, i] { c->SetValue(i); }, depth);
                    }
                    break;
                }
                case ui::Kind::IconList:
                    for (int i = 0; i < static_cast<int>(c->items.size()); ++i) {
                        if (!alive() || !c->Usable()) break;
                        Act(
                            "dblclick " + target + " " + std::to_string(i + 1),
                            [c, i] {
                                c->SetValue(i);
                                c->DblClick();
                            },
                            depth);
                    }
                    break;
                case ui::Kind::ScrollBar:
                case ui::Kind::Slider:
                    for (int v : {c->max, c->min, c->min + filler_.Below(c->max - c->min + 1)}) {
                        if (!alive() || !c->Usable()) break;
                        Act(
                            "set " + target + " " + std::to_string(v), [c, v] { c->SetValue(v); },
                            depth);
                    }
                    break;
                case ui::Kind::TextBox:
                    if (!c->readOnly) {
                        std::string text = filler_.Text().substr(0, 300);
                        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
                        Act(
                            "type " + target, [c, text] { c->SetText(text); }, depth);
                    }
                    break;
                default:
                    break;
            }
        }
        // Buttons last, the ones that open windows or end this one included; a button that
        // closes the window ends the walk of this window.
        for (ui::Control* c : controls) {
            if (!alive()) return;
            if (buttons && depth > 0 && c->kind() == ui::Kind::Button && c->Usable()) {
                Act(
                    "click " + form.name() + "." + c->id(), [c] { c->Click(); }, depth);
            }
        }
    }

    // A button of the main window: pressed again for each button of the window it opens, so
    // that every button there is pressed on a window fresh from its load.
    void Opener(ui::Form& main, ui::Control& opener) {
        for (std::size_t next = 0; next < 40; ++next) {
            if (!failure_.empty() || app_.Ended() || !opener.Usable()) return;
            const auto before = OpenForms();
            opener.Click();
            Settle("click frmMain." + opener.id());
            if (!failure_.empty() || app_.Ended()) return;
            ui::Form* child = nullptr;
            for (ui::Form* form : app_.Forms()) {
                if (!before.count(form)) child = form;
            }
            if (child == nullptr) return;  // a message or a program, no window
            Exercise(*child, 1, false);
            std::vector<ui::Control*> buttons;
            if (OpenForms().count(child) && !child->unloaded()) {
                for (const auto& c : child->controls()) {
                    if (c->kind() == ui::Kind::Button && c->Usable()) buttons.push_back(c.get());
                }
            }
            if (next < buttons.size()) {
                ui::Control* button = buttons[next];
                Act(
                    "click " + child->name() + "." + button->id(), [button] { button->Click(); },
                    1);
            }
            // Whatever is still open apart from the main window is closed, newest first.
            while (failure_.empty() && !app_.Ended() && app_.Forms().size() > 1) {
                ui::Form* last = app_.Forms().back();
                const std::string name = last->name();
                Act(
                    "close " + name, [last] { last->RequestClose(); }, 1);
                if (app_.FindForm(name) == last && !last->unloaded()) {
                    Failed("closing " + name + " left it open");
                }
            }
            if (next >= buttons.size()) return;
        }
        (void)main;
    }

    std::uint32_t number_;
    Reach& reach_;
    Filler filler_;
    testing_support::MemoryRegistry memory_;
    testing_support::RecordingBackend recorder_;
    testing_support::FakePlatform platform_;
    settings::Registry registry_;
    Answerer answerer_;
    ui::App app_;
    std::vector<std::string> trail_;
    std::string failure_;
};

std::uint32_t EnvNumber(const char* name, std::uint32_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

TEST(RandomMachines, EveryWindowClickedThroughOnAnyRegistry) {
    const std::uint32_t count = EnvNumber("CALVENOR_RANDOM_MACHINES", 1000);
    const std::uint32_t first = EnvNumber("CALVENOR_RANDOM_FIRST", 0);
    std::uint32_t ran = 0;
    Reach reach;
    for (std::uint32_t n = first; n < first + count; ++n) {
        Machine machine(n, reach);
        const std::string failure = machine.Run();
        ++ran;
        ASSERT_EQ(failure, "") << "after " << ran << " machines";
    }
    std::printf("%u machines: %llu actions, %llu writes, %llu messages, %zu windows, %zu buttons\n",
                ran, static_cast<unsigned long long>(reach.actions),
                static_cast<unsigned long long>(reach.writes),
                static_cast<unsigned long long>(reach.messages), reach.windows.size(),
                reach.buttons.size());
    if (count < 100) return;  // a run of a few machines is for finding one again
    // Every window was opened and every button of it pressed somewhere.
    for (const char* window : {"frmMain", "frmEQ", "frmDrvVer", "frmAC97Mixer", "frmAbout",
                               "frmQuad", "frmAboutA3D", "frmReset", "frmWPCRSET"}) {
        EXPECT_TRUE(reach.windows.count(window)) << window << " never opened";
    }
    for (const char* button :
         {"frmMain.cmdOK", "frmMain.cmdOverride", "frmMain.cmdReset", "frmReset.cmdResetAll",
          "frmReset.cmdOK", "frmWPCRSET.cmdUpdate", "frmWPCRSET.cmdRemove", "frmEQ.cmdOK",
          "frmQuad.cmdOK", "frmDrvVer.cmdOK", "frmAbout.cmdOK", "frmAboutA3D.cmdOK"}) {
        EXPECT_TRUE(reach.buttons.count(button)) << button << " never pressed";
    }
    // Both ends of the sliders and every list position were reached.
    for (const char* value :
         {"frmMain.hsbPCM1=0", "frmMain.hsbPCM1=31", "frmMain.hsbEffect1=127",
          "frmMain.cboA3DType=3", "frmMain.cboWavetableMode=2", "frmEQ.cboEQPreset=6",
          "frmMain.optDigOut(2)=1", "frmQuad.optQuad(1)=1", "frmWPCRSET.optWDevice(1)=1"}) {
        EXPECT_TRUE(reach.values.count(value)) << value << " never held";
    }
    EXPECT_GT(reach.writes, count * 20ull);
}

// The judge itself must tell a defined write from an undefined one, or the walk proves nothing.
TEST(RandomMachines, JudgeRefusesWritesTheSystemDoesNotDefine) {
    const auto dword = [](const char* key, const char* name, std::int32_t n) {
        const auto bits = static_cast<std::uint32_t>(n);
        return Write{
            key,
            name,
            REG_DWORD,
            {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
             static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)}};
    };
    EXPECT_EQ(Judge(dword("system\\currentcontrolset\\services\\wdm_au8830\\controlpanel",
                          "primaryxtalk", 4)),
              "");
    EXPECT_EQ(Judge(dword(schema::kControlPanel, schema::kPrimaryXtalk, 5)),
              "a number outside the setting's range");
    EXPECT_EQ(Judge(dword(schema::kCustomization, schema::kPrimaryXtalk, 1)),
              "a value the system does not define");
    EXPECT_EQ(Judge(dword(schema::kWpcrsetParameters, "Reg16", 1)),
              "a value the system does not define");
    EXPECT_EQ(Judge(dword(schema::kWpcrsetParameters, "Reg15", -7)), "");
    EXPECT_EQ(Judge({schema::kRun, schema::kAU30TRAY, REG_DWORD, {1, 0, 0, 0}}), "the wrong type");
    EXPECT_EQ(Judge({schema::kRun, schema::kAU30TRAY, 0, {}}), "");
    EXPECT_EQ(Judge({schema::kCustomization, schema::kST9704ATTEN, 0, {}}),
              "a deletion of a value never deleted");
    EXPECT_EQ(Judge({schema::kDriverEqualizer, schema::kCoefSet0, REG_BINARY,
                     std::vector<std::uint8_t>(247)}),
              "the wrong length");
    EXPECT_EQ(Judge({schema::kControlPanel, schema::kAC97MixerLocation, REG_SZ, {'a', 0, 'b'}}),
              "a text with a NUL in it");
    EXPECT_EQ(Judge({schema::kDirectXMedia, schema::kProg, REG_SZ, {'x'}}),
              "a value the system only reads");
    EXPECT_EQ(Judge({schema::kControlPanel, schema::kGamerMode, REG_DWORD, {1, 0, 0}}),
              "a number that is not four bytes");
}

}  // namespace
