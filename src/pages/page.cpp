#include "pages/page.h"

#include <limits>

namespace pages {

Control& Page::Add(ui::Kind kind, const std::string& name, const std::string& caption,
                   ui::Place place, Control* frame, int index) {
    Control& control = form_.Add(kind, name, caption, place, index);
    control.tab = tab_;
    control.container = frame;
    return control;
}

std::string Page::Read(const char* key, const char* name) const {
    return registry().FetchValue(settings::kHKLM, key, name).str();
}

void Page::Store(const char* key, const char* name, const std::string& text) const {
    registry().StoreValue(settings::kHKLM, key, name, text, settings::REG_DWORD);
}

void Page::StoreCheck(const Control* box, const char* key, const char* name,
                      std::string& held) const {
    held = std::to_string(box->value());
    Store(key, name, held);
}

void Page::SetFrom(Control* control, std::optional<std::int32_t> number, int offset) {
    if (!number) return;
    const std::int64_t position = static_cast<std::int64_t>(*number) + offset;
    using Limits = std::numeric_limits<int>;
    if (position < Limits::min() || position > Limits::max()) return;
    if (!control->Accepts(static_cast<int>(position))) return;
    control->SetValue(static_cast<int>(position));
}

void Page::SetFrom16(Control* control, const std::string& text, int offset) {
    const auto number = settings::ParseInt16(text);
    SetFrom(control, number ? std::optional<std::int32_t>(*number) : std::nullopt, offset);
}

}  // namespace pages
