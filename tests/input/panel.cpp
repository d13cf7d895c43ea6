#include "panel.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace input {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Runs argv with the extra environment; the pid, or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

}  // namespace

Panel::~Panel() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) Sleep(20);
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
}

bool Panel::Start(std::string* error) {
    char pattern[] = "/tmp/calvenor-input-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        *error = "no temporary folder";
        return false;
    }
    dir_ = pattern;
    store_ = dir_ + "/machine.db";
    probe_ = dir_ + "/screen.txt";
    const pid_t import = Spawn({program_, "--store", store_, "--import", seed_}, {});
    int status = 0;
    if (import < 0 || waitpid(import, &status, 0) != import || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        *error = "the seed machine did not import";
        return false;
    }
    pid_ = Spawn({program_, "--store", store_}, {"CALVENOR_PROBE=" + probe_});
    if (pid_ < 0) {
        *error = "the program did not start";
        return false;
    }
    const Screen s = WaitFor(
        [](const Screen& s) {
            const Window* w = s.FindWindow("frmMain");
            return w != nullptr && w->shown;
        },
        10000);
    if (s.FindWindow("frmMain") == nullptr || !s.FindWindow("frmMain")->shown) {
        *error = "the main window did not come up";
        return false;
    }
    Settled();
    return true;
}

bool Panel::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
    return pid_ > 0;
}

bool Panel::WaitExit(int milliseconds) {
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Running()) {
        if (Clock::now() > end) return false;
        Sleep(20);
    }
    return true;
}

std::string Panel::ReadRecord() {
    std::ifstream in(probe_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Screen Panel::Settled() {
    constexpr int kQuiet = 250;  // long beside a redraw, short beside a test run
    std::string last = ReadRecord();
    auto since = Clock::now();
    const auto end = since + std::chrono::seconds(5);
    while (Clock::now() < end) {
        Sleep(25);
        const std::string now = ReadRecord();
        if (now != last) {
            last = now;
            since = Clock::now();
        } else if (Clock::now() - since > std::chrono::milliseconds(kQuiet)) {
            break;
        }
    }
    Screen s;
    std::string error;
    s.Parse(last, &error);
    return s;
}

Screen Panel::WaitFor(const std::function<bool(const Screen&)>& test, int milliseconds) {
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    Screen s;
    while (true) {
        Screen now;
        std::string error;
        if (now.Parse(ReadRecord(), &error)) {
            s = now;
            if (test(s)) return s;
        }
        if (Clock::now() > end) return s;
        Sleep(20);
    }
}

Snapshot Panel::Store() {
    Snapshot snap;
    std::string error;
    auto view = OpenStoreFile(store_, &error);
    if (view) view->Take(&snap, &error);
    return snap;
}

}  // namespace input
