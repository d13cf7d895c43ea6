#include "screen.h"

#include <cstdlib>
#include <map>
#include <sstream>

namespace input {

std::string Unquote(const std::string& quoted) {
    std::string out;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 2 < quoted.size()) {
            c = quoted[++i];
            if (c == 'n') c = '\n';
            if (c == 'r') c = '\r';
        }
        out += c;
    }
    return out;
}

namespace {

// The words of a line: a head word, then key=value pairs whose values may be quoted.
bool Words(const std::string& line, std::string& head, std::map<std::string, std::string>& pairs) {
    std::size_t i = 0;
    auto skip = [&] {
        while (i < line.size() && line[i] == ' ') ++i;
    };
    skip();
    while (i < line.size() && line[i] != ' ') head += line[i++];
    skip();
    // A window or control line names it next.
    if (i < line.size() && line.find('=', i) > line.find(' ', i)) {
        std::string name;
        while (i < line.size() && line[i] != ' ') name += line[i++];
        pairs["name"] = name;
    }
    while (true) {
        skip();
        if (i >= line.size()) return true;
        const std::size_t eq = line.find('=', i);
        if (eq == std::string::npos) return false;
        const std::string key = line.substr(i, eq - i);
        i = eq + 1;
        std::string value;
        if (i < line.size() && line[i] == '"') {
            value += line[i++];
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size()) value += line[i++];
                value += line[i++];
            }
            if (i >= line.size()) return false;
            value += line[i++];
            value = Unquote(value);
        } else {
            while (i < line.size() && line[i] != ' ') value += line[i++];
        }
        pairs[key] = value;
    }
}

Box ParseBox(const std::string& text) {
    Box b;
    std::sscanf(text.c_str(), "%d,%d,%d,%d", &b.x, &b.y, &b.w, &b.h);
    return b;
}

bool Flag(const std::map<std::string, std::string>& pairs, const char* key) {
    const auto it = pairs.find(key);
    return it != pairs.end() && it->second == "1";
}

int Number(const std::map<std::string, std::string>& pairs, const char* key) {
    const auto it = pairs.find(key);
    return it == pairs.end() ? 0 : std::atoi(it->second.c_str());
}

std::string Get(const std::map<std::string, std::string>& pairs, const char* key) {
    const auto it = pairs.find(key);
    return it == pairs.end() ? std::string() : it->second;
}

}  // namespace

bool Screen::Parse(const std::string& text, std::string* error) {
    windows.clear();
    popups.clear();
    std::istringstream lines(text);
    std::string line;
    bool ended = false;
    while (std::getline(lines, line)) {
        std::string head;
        std::map<std::string, std::string> p;
        if (!Words(line, head, p)) {
            *error = "unreadable line: " + line;
            return false;
        }
        if (head == "end") {
            ended = true;
        } else if (head == "window") {
            Window w;
            w.name = Get(p, "name");
            w.title = Get(p, "title");
            w.frame = ParseBox(Get(p, "frame"));
            w.client = ParseBox(Get(p, "client"));
            w.shown = Flag(p, "shown");
            w.enabled = Flag(p, "enabled");
            w.modelVisible = Flag(p, "model_visible");
            w.modelEnabled = Flag(p, "model_enabled");
            windows.push_back(w);
        } else if (head == "control") {
            if (windows.empty()) return false;
            Control c;
            const std::string name = Get(p, "name");
            const auto dot = name.find('.');
            c.window = name.substr(0, dot);
            c.id = dot == std::string::npos ? name : name.substr(dot + 1);
            c.kind = Get(p, "kind");
            c.box = ParseBox(Get(p, "box"));
            c.shown = Flag(p, "shown");
            c.enabled = Flag(p, "enabled");
            c.focus = Flag(p, "focus");
            c.value = Number(p, "value");
            c.text = Get(p, "text");
            c.hasThumb = p.count("thumb") != 0;
            c.thumb = ParseBox(Get(p, "thumb"));
            std::stringstream parts(Get(p, "parts"));
            std::string part;
            while (std::getline(parts, part, ';')) c.parts.push_back(ParseBox(part));
            c.modelShown = Flag(p, "model_shown");
            c.modelEnabled = Flag(p, "model_enabled");
            c.modelValue = Number(p, "model_value");
            c.modelText = Get(p, "model_text");
            windows.back().controls.push_back(c);
        } else if (head == "box") {
            Popup b;
            b.title = Get(p, "title");
            b.frame = ParseBox(Get(p, "frame"));
            b.shown = Flag(p, "shown");
            popups.push_back(b);
        } else if (head == "item") {
            if (popups.empty()) return false;
            popups.back().items.push_back(
                {Get(p, "kind"), Get(p, "text"), ParseBox(Get(p, "box"))});
        } else if (!head.empty()) {
            *error = "unknown line: " + line;
            return false;
        }
    }
    if (!ended) *error = "the record has no end";
    return ended;
}

const Window* Screen::FindWindow(const std::string& name) const {
    for (const Window& w : windows) {
        if (w.name == name) return &w;
    }
    return nullptr;
}

const Control* Screen::Find(const std::string& name) const {
    const auto dot = name.find('.');
    const Window* w = FindWindow(name.substr(0, dot));
    if (w == nullptr || dot == std::string::npos) return nullptr;
    const std::string id = name.substr(dot + 1);
    for (const Control& c : w->controls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

std::string Screen::Focus() const {
    for (const Window& w : windows) {
        for (const Control& c : w.controls) {
            if (c.focus) return c.Name();
        }
    }
    return "";
}

const Item* Popup::Button(const std::string& text) const {
    for (const Item& item : items) {
        if (item.kind == "button" && item.text == text) return &item;
    }
    return nullptr;
}

std::vector<const Popup*> Screen::Boxes() const {
    std::vector<const Popup*> found;
    for (const Popup& p : popups) {
        if (p.shown && !p.title.empty()) found.push_back(&p);
    }
    return found;
}

std::vector<const Popup*> Screen::Menus() const {
    std::vector<const Popup*> found;
    for (const Popup& p : popups) {
        if (p.shown && p.title.empty()) found.push_back(&p);
    }
    return found;
}

}  // namespace input
