#include "ui/probe.h"

#include <sstream>

#include "text/quote.h"
#include "ui/form.h"
#include "ui/screen.h"

namespace ui {

namespace {

std::string Box(const ProbeBox& b) {
    return std::to_string(b.left) + "," + std::to_string(b.top) + "," + std::to_string(b.width) +
           "," + std::to_string(b.height);
}

}  // namespace

int ProbeModelValue(const Control& control) {
    return HasValue(control.kind()) ? control.value() : 0;
}

std::string ProbeModelText(const Control& control) {
    switch (control.kind()) {
        case Kind::TextBox:
            return control.text();
        case Kind::List:
        case Kind::Tabs: {
            const int at = control.value();
            return at >= 0 && at < static_cast<int>(control.items.size())
                       ? control.items[static_cast<std::size_t>(at)]
                       : std::string();
        }
        default:
            return control.caption();
    }
}

std::string FormatProbe(const std::vector<ProbeWindow>& windows) {
    std::ostringstream out;
    for (const ProbeWindow& w : windows) {
        if (w.form == nullptr) {
            out << "box title=" << platform::QuotedOnOneLine(w.title) << " frame=" << Box(w.frame)
                << " shown=" << w.shown << "\n";
            for (const ProbeItem& item : w.items) {
                out << "item kind=" << item.kind << " text=" << platform::QuotedOnOneLine(item.text)
                    << " box=" << Box(item.box) << "\n";
            }
            continue;
        }
        const Form& form = *w.form;
        out << "window " << form.name() << " title=" << platform::QuotedOnOneLine(w.title)
            << " frame=" << Box(w.frame) << " client=" << Box(w.client) << " shown=" << w.shown
            << " enabled=" << w.enabled << " model_visible=" << form.visible()
            << " model_enabled=" << form.enabled() << "\n";
        for (const ProbeControl& p : w.controls) {
            const Control& c = *p.control;
            out << "control " << form.name() << "." << c.id() << " kind=" << KindName(c.kind())
                << " box=" << Box(p.box) << " shown=" << p.shown << " enabled=" << p.enabled
                << " focus=" << p.focused << " value=" << p.value
                << " text=" << platform::QuotedOnOneLine(p.text);
            if (p.hasThumb) out << " thumb=" << Box(p.thumb);
            if (!p.parts.empty()) {
                out << " parts=";
                for (std::size_t i = 0; i < p.parts.size(); ++i) {
                    out << (i == 0 ? "" : ";") << Box(p.parts[i]);
                }
            }
            // Within its window: the window's own state is on its line.
            out << " model_shown=" << ShownOnScreen(c) << " model_enabled=" << EnabledOnScreen(c)
                << " model_value=" << ProbeModelValue(c)
                << " model_text=" << platform::QuotedOnOneLine(ProbeModelText(c)) << "\n";
        }
    }
    out << "end\n";
    return out.str();
}

}  // namespace ui
