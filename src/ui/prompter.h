// Message boxes, which every adapter shows in its own way.
#pragma once

#include <string>

namespace ui {

enum class Icon { None, Information, Critical };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// The application's title, borne by message boxes without a title of their own.
inline constexpr const char* kAppTitle = "Calvenor XP";

struct Message {
    std::string title;
    std::string text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

class Prompter {
  public:
    virtual ~Prompter() = default;
    // Shows the box and waits for the user's answer (Ok for an OK box).
    virtual Answer Show(const Message& message) = 0;
};

}  // namespace ui
