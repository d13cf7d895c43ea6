// The Linux program started as a user starts it, on a store of its own made from the seed
// machine, with the screen record on; read back through that record and the store file.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "screen.h"
#include "store_view.h"

namespace input {

class Panel {
  public:
    // The program and the seed machine's regedit file.
    Panel(std::string program, std::string seed)
        : program_(std::move(program)), seed_(std::move(seed)) {}
    ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // Imports the seed into a fresh store and starts the window on it; false (and why) when the
    // main window does not come up.
    bool Start(std::string* error);
    // Whether the program is still running.
    bool Running();
    // Waits for the program to end by itself; false when it has not within the time.
    bool WaitExit(int milliseconds);

    // The screen once the record has stopped changing for a while: the program has handled
    // what it was sent and drawn the result.
    Screen Settled();
    // The screen as soon as the test holds; the last screen read when it never does.
    Screen WaitFor(const std::function<bool(const Screen&)>& test, int milliseconds = 3000);

    // Every value the program may write, as the store now holds it.
    Snapshot Store();

  private:
    std::string ReadRecord();
    std::string program_, seed_, dir_, probe_, store_;
    pid_t pid_ = -1;
};

}  // namespace input
