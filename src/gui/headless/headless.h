// The headless driver: one command a line, run through the same windows as the desktop
// adapters, printing what a user would see. Scripts and tests depend on this format.
#pragma once

#include <deque>
#include <iosfwd>
#include <string>

#include "ui/app.h"

namespace gui {

// Message boxes printed instead of shown; Yes/No boxes take queued answers (No when none).
class HeadlessPrompter : public ui::Prompter {
  public:
    explicit HeadlessPrompter(std::ostream& out) : out_(out) {}
    ui::Answer Show(const ui::Message& message) override;
    void Queue(ui::Answer answer) { answers_.push_back(answer); }

  private:
    std::ostream& out_;
    std::deque<ui::Answer> answers_;
};

class Headless : public ui::AppObserver {
  public:
    Headless(ui::App& app, HeadlessPrompter& prompter, std::ostream& out);
    ~Headless() override;

    // Runs one command line; false once the system has ended.
    bool Execute(const std::string& line);
    // Runs commands until the input ends or the main window is closed; the exit code.
    int Run(std::istream& in);

    void ProcessStarted(const std::string& command, bool ok) override;

  private:
    void Dump(const ui::Form& form);
    void Error(const std::string& text);
    ui::Control* Resolve(const std::string& target, bool mustBeUsable);

    ui::App& app_;
    HeadlessPrompter& prompter_;
    std::ostream& out_;
};

// A text in double quotes with " and \ escaped.
std::string Quote(const std::string& text);

}  // namespace gui
