#include "gui/headless/headless.h"

#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string_view>

namespace gui {

using ui::Control;
using ui::Kind;

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

ui::Answer HeadlessPrompter::Show(const ui::Message& message) {
    static const char* const kIcons[] = {"none", "information", "critical"};
    out_ << "message title=" << Quote(message.title)
         << " icon=" << kIcons[static_cast<int>(message.icon)]
         << " buttons=" << (message.buttons == ui::Buttons::Ok ? "ok" : "yesno")
         << " text=" << Quote(message.text);
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
    out_ << "start command=" << Quote(command) << " result=" << (ok ? "ok" : "failed") << "\n";
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

bool HasValue(Kind kind) {
    return kind == Kind::CheckBox || kind == Kind::Option || kind == Kind::List ||
           kind == Kind::ScrollBar || kind == Kind::Slider || kind == Kind::IconList ||
           kind == Kind::Tabs;
}
}  // namespace

Control* Headless::Resolve(const std::string& target, bool mustBeUsable) {
    const auto dot = target.find('.');
    if (dot == std::string::npos) {
        Error("expected WINDOW.CONTROL, got " + Quote(target));
        return nullptr;
    }
    const std::string formName = target.substr(0, dot);
    ui::Form* form = app_.FindForm(formName);
    if (form == nullptr) {
        Error("no window " + Quote(formName));
        return nullptr;
    }
    Control* control = form->Find(target.substr(dot + 1));
    if (control == nullptr) {
        Error("no control " + Quote(target));
        return nullptr;
    }
    if (mustBeUsable && !control->Usable()) {
        Error(target + " is disabled or hidden");
        return nullptr;
    }
    return control;
}

void Headless::Dump(const ui::Form& form) {
    out_ << "window " << form.name() << " visible=" << form.visible()
         << " enabled=" << form.enabled() << " caption=" << Quote(form.caption()) << "\n";
    for (const auto& c : form.controls()) {
        out_ << form.name() << "." << c->id() << " " << ui::KindName(c->kind())
             << " visible=" << c->visible() << " enabled=" << c->enabled() << " value=";
        if (c->kind() == Kind::TextBox) {
            out_ << Quote(c->text());
        } else if (c->kind() == Kind::Label) {
            out_ << Quote(c->caption());
        } else {
            out_ << (HasValue(c->kind()) ? c->value() : 0);
        }
        out_ << " caption=" << Quote(c->caption()) << "\n";
    }
}

bool Headless::Execute(const std::string& rawLine) {
    std::string line = rawLine;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command.empty() || command[0] == '#') return !app_.Ended();

    std::string target;
    words >> target;
    if (command == "windows") {
        for (ui::Form* form : app_.Forms()) {
            out_ << "window " << form->name() << " visible=" << form->visible()
                 << " enabled=" << form->enabled() << " caption=" << Quote(form->caption()) << "\n";
        }
    } else if (command == "dump") {
        if (target.empty()) {
            for (ui::Form* form : app_.Forms()) Dump(*form);
        } else if (ui::Form* form = app_.FindForm(target)) {
            Dump(*form);
        } else {
            Error("no window " + Quote(target));
        }
    } else if (command == "answer") {
        if (target == "yes" || target == "no") {
            prompter_.Queue(target == "yes" ? ui::Answer::Yes : ui::Answer::No);
        } else {
            Error("answer takes yes or no");
        }
    } else if (command == "close") {
        ui::Form* form = app_.FindForm(target);
        if (form == nullptr) {
            Error("no window " + Quote(target));
        } else if (!form->visible() || !form->enabled()) {
            Error(target + " is disabled or hidden");
        } else {
            form->RequestClose();
        }
    } else if (command == "click") {
        if (Control* c = Resolve(target, true)) {
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
                    Error(target + " cannot be clicked");
            }
        }
    } else if (command == "select" || command == "set" || command == "dblclick") {
        std::string argument;
        words >> argument;
        Control* c = Resolve(target, true);
        const auto n = Number(argument);
        if (c == nullptr) {
        } else if (!n) {
            Error(command + " needs a number");
        } else if (command == "select") {
            const bool list =
                c->kind() == Kind::List || c->kind() == Kind::IconList || c->kind() == Kind::Tabs;
            if (!list) {
                Error(target + " is not a list");
            } else if (!c->Accepts(*n)) {
                Error("position " + argument + " is outside " + target);
            } else {
                c->SetValue(*n);
            }
        } else if (command == "set") {
            if (c->kind() != Kind::Slider && c->kind() != Kind::ScrollBar) {
                Error(target + " is not a slider or scroll bar");
            } else if (!c->Accepts(*n)) {
                Error("value " + argument + " is outside " + target);
            } else {
                c->SetValue(*n);
            }
        } else if (c->kind() != Kind::IconList) {
            Error(target + " is not an icon list");
        } else if (*n < 1 || !c->Accepts(*n - 1)) {
            Error("entry " + argument + " is outside " + target);
        } else {
            c->SetValue(*n - 1);
            c->DblClick();
        }
    } else if (command == "type") {
        // The text is the rest of the line after the target, exactly as given.
        std::string text;
        const auto start = line.find(target, line.find(command) + command.size());
        if (start + target.size() < line.size()) text = line.substr(start + target.size() + 1);
        if (Control* c = Resolve(target, true)) {
            if (c->kind() != Kind::TextBox || c->readOnly) {
                Error(target + " is not a text box the user can edit");
            } else {
                c->SetText(text);
            }
        }
    } else {
        Error("unknown command " + Quote(command));
    }
    app_.Collect();
    out_.flush();
    return !app_.Ended();
}

int Headless::Run(std::istream& in) {
    std::string line;
    while (!app_.Ended() && std::getline(in, line)) {
        if (!Execute(line)) break;
    }
    return 0;
}

}  // namespace gui
