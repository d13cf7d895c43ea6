// The headless driver: one command a line, run through the same windows as the desktop
// adapters, printing what a user would see. Scripts and tests depend on this format.
#pragma once

#include <deque>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>

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
    // A command line: the command, its target and the word after it, and the whole line (less
    // a final carriage return) for the text that type takes.
    struct Words {
        std::string line;
        std::string command;
        std::string target;
        std::string argument;
    };
    // The commands, one each.
    void Windows(const Words& words);
    void DumpWindows(const Words& words);
    void Answer(const Words& words);
    void Close(const Words& words);
    void Click(const Words& words);
    void Select(const Words& words);
    void Set(const Words& words);
    void DblClick(const Words& words);
    void Type(const Words& words);

    static std::string WindowLine(const ui::Form& form);
    void Dump(const ui::Form& form);
    void Error(const std::string& text);
    ui::Control* Resolve(const std::string& target, bool mustBeUsable);
    // The usable control and the number that select, set and dblclick take; nullopt once
    // told what is wrong.
    std::optional<std::pair<ui::Control*, int>> Numbered(const Words& words);

    ui::App& app_;
    HeadlessPrompter& prompter_;
    std::ostream& out_;
};

}  // namespace gui
