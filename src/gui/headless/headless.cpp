#include "gui/headless/headless.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string_view>
#include <utility>

#include "text/quote.h"

namespace gui {

using platform::Quoted;
using ui::Control;
using ui::Kind;

ui::Answer HeadlessPrompter::Show(const ui::Message& message) {
    static const char* const kIcons[] = {"none", "information", "critical"};
    out_ << "message title=" << Quoted(message.title)
         << " icon=" << kIcons[static_cast<int>(message.icon)]
         << " buttons=" << (message.buttons == ui::Buttons::Ok ? "ok" : "yesno")
         << " text=" << Quoted(message.text);
    ui::Answer answer = ui::Answer::Ok;
    if (message.buttons == ui::Buttons::YesNo) {
        answer = ui::Answer::No;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
        out_ << " answer=" << (answer == ui::Answer::Yes ? "yes" : "no");
    }
    out_ << "\n";
    return answer;
}

Headless::Headless(ui::App& app, HeadlessPrompter& prompter, std::ostream& out)
    : app_(app), prompter_(prompter), out_(out) {
    app_.AddObserver(this);
}

Headless::~Headless() {
    app_.RemoveObserver(this);
}

void Headless::ProcessStarted(const std::string& command, bool ok) {
    out_ << "start command=" << Quoted(command) << " result=" << (ok ? "ok" : "failed") << "\n";
}

void Headless::Error(const std::string& text) {
    out_ << "error: " << text << "\n";
}

namespace {
// A command's number: an optional sign, then digits only, within 32 bits.
std::optional<int> Number(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}
}  // namespace

Control* Headless::Resolve(const std::string& target, bool mustBeUsable) {
    const auto dot = target.find('.');
    if (dot == std::string::npos) {
        Error("expected WINDOW.CONTROL, got " + Quoted(target));
        return nullptr;
    }
    const std::string formName = target.substr(0, dot);
    ui::Form* form = app_.FindForm(formName);
    if (form == nullptr) {
        Error("no window " + Quoted(formName));
        return nullptr;
    }
    Control* control = form->Find(target.substr(dot + 1));
    if (control == nullptr) {
        Error("no control " + Quoted(target));
        return nullptr;
    }
    if (mustBeUsable && !control->Usable()) {
        Error(target + " is disabled or hidden");
        return nullptr;
    }
    return control;
}

std::string Headless::WindowLine(const ui::Form& form) {
    std::ostringstream line;
    line << "window " << form.name() << " visible=" << form.visible()
         << " enabled=" << form.enabled() << " caption=" << Quoted(form.caption()) << "\n";
    return line.str();
}

void Headless::Dump(const ui::Form& form) {
    out_ << WindowLine(form);
    for (const auto& c : form.controls()) {
        out_ << form.name() << "." << c->id() << " " << ui::KindName(c->kind())
             << " visible=" << c->visible() << " enabled=" << c->enabled() << " value=";
        if (c->kind() == Kind::TextBox) {
            out_ << Quoted(c->text());
        } else if (c->kind() == Kind::Label) {
            out_ << Quoted(c->caption());
        } else {
            out_ << (ui::HasValue(c->kind()) ? c->value() : 0);
        }
        out_ << " caption=" << Quoted(c->caption()) << "\n";
    }
}

bool Headless::Execute(const std::string& rawLine) {
    static const std::pair<std::string_view, void (Headless::*)(const Words&)> kCommands[] = {
        {"windows", &Headless::Windows}, {"dump", &Headless::DumpWindows},
        {"answer", &Headless::Answer},   {"close", &Headless::Close},
        {"click", &Headless::Click},     {"select", &Headless::Select},
        {"set", &Headless::Set},         {"dblclick", &Headless::DblClick},
        {"type", &Headless::Type},
    };
    Words words;
    words.line = rawLine;
    if (!words.line.empty() && words.line.back() == '\r') words.line.pop_back();
    std::istringstream in(words.line);
    in >> words.command >> words.target >> words.argument;
    if (words.command.empty() || words.command[0] == '#') return !app_.Ended();

    const auto* const end = std::end(kCommands);
    const auto* const found = std::find_if(std::begin(kCommands), end, [&](const auto& command) {
        return command.first == words.command;
    });
    if (found == end) {
        Error("unknown command " + Quoted(words.command));
    } else {
        (this->*found->second)(words);
    }
    app_.Collect();
    out_.flush();
    return !app_.Ended();
}

void Headless::Windows(const Words&) {
    for (ui::Form* form : app_.Forms()) out_ << WindowLine(*form);
}

void Headless::DumpWindows(const Words& words) {
    if (words.target.empty()) {
        for (ui::Form* form : app_.Forms()) Dump(*form);
    } else if (ui::Form* form = app_.FindForm(words.target)) {
        Dump(*form);
    } else {
        Error("no window " + Quoted(words.target));
    }
}

void Headless::Answer(const Words& words) {
    if (words.target == "yes" || words.target == "no") {
        prompter_.Queue(words.target == "yes" ? ui::Answer::Yes : ui::Answer::No);
    } else {
        Error("answer takes yes or no");
    }
}

void Headless::Close(const Words& words) {
    ui::Form* form = app_.FindForm(words.target);
    if (form == nullptr) {
        Error("no window " + Quoted(words.target));
    } else if (!form->visible() || !form->enabled()) {
        Error(words.target + " is disabled or hidden");
    } else {
        form->RequestClose();
    }
}

void Headless::Click(const Words& words) {
    Control* c = Resolve(words.target, true);
    if (c == nullptr) return;
    switch (c->kind()) {
        case Kind::Button:
            c->Click();
            break;
        case Kind::CheckBox:
            c->SetValue(c->value() == 1 ? 0 : 1);
            break;
        case Kind::Option:
            c->SetValue(1);
            break;
        default:
            Error(words.target + " cannot be clicked");
    }
}

std::optional<std::pair<Control*, int>> Headless::Numbered(const Words& words) {
    Control* c = Resolve(words.target, true);
    if (c == nullptr) return std::nullopt;
    const auto n = Number(words.argument);
    if (!n) {
        Error(words.command + " needs a number");
        return std::nullopt;
    }
    return std::pair(c, *n);
}

void Headless::Select(const Words& words) {
    const auto numbered = Numbered(words);
    if (!numbered) return;
    const auto [c, n] = *numbered;
    if (c->kind() != Kind::List && c->kind() != Kind::IconList && c->kind() != Kind::Tabs) {
        Error(words.target + " is not a list");
    } else if (!c->Accepts(n)) {
        Error("position " + words.argument + " is outside " + words.target);
    } else {
        c->SetValue(n);
    }
}

void Headless::Set(const Words& words) {
    const auto numbered = Numbered(words);
    if (!numbered) return;
    const auto [c, n] = *numbered;
    if (c->kind() != Kind::Slider && c->kind() != Kind::ScrollBar) {
        Error(words.target + " is not a slider or scroll bar");
    } else if (!c->Accepts(n)) {
        Error("value " + words.argument + " is outside " + words.target);
    } else {
        c->SetValue(n);
    }
}

// Entries are counted from 1, as a user counts them.
void Headless::DblClick(const Words& words) {
    const auto numbered = Numbered(words);
    if (!numbered) return;
    const auto [c, n] = *numbered;
    if (c->kind() != Kind::IconList) {
        Error(words.target + " is not an icon list");
    } else if (n < 1 || !c->Accepts(n - 1)) {
        Error("entry " + words.argument + " is outside " + words.target);
    } else {
        c->SetValue(n - 1);
        c->DblClick();
    }
}

void Headless::Type(const Words& words) {
    // The text is the rest of the line after the target, exactly as given.
    const std::string& line = words.line;
    std::string text;
    const auto start = line.find(words.target, line.find(words.command) + words.command.size());
    if (start + words.target.size() < line.size()) {
        text = line.substr(start + words.target.size() + 1);
    }
    Control* c = Resolve(words.target, true);
    if (c == nullptr) return;
    if (c->kind() != Kind::TextBox || c->readOnly) {
        Error(words.target + " is not a text box the user can edit");
    } else {
        c->SetText(text);
    }
}

int Headless::Run(std::istream& in) {
    std::string line;
    while (!app_.Ended() && std::getline(in, line)) {
        if (!Execute(line)) break;
    }
    return 0;
}

}  // namespace gui
