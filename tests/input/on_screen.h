// The lookup both input suites make before every gesture.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "screen.h"

namespace input {

// The control on screen; a failure (and a dummy) when the window lacks it.
inline const Control& OnScreen(const Screen& screen, const std::string& name) {
    static const Control none;
    const Control* c = screen.Find(name);
    if (c == nullptr) {
        ADD_FAILURE() << name << " is not on screen";
        return none;
    }
    return *c;
}

}  // namespace input
