// Scenario tests drive the windows through the headless driver, as a user or a script would,
// and look at the registry afterwards.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gui/headless/headless.h"
#include "platform/platform.h"
#include "registry/registry_backend.h"
#include "settings/registry.h"
#include "ui/app.h"

namespace testing_support {

// One write or deletion that reached the backend, in order.
struct Write {
    std::string key;  // the path the handle was opened with
    std::string name;
    std::uint32_t type = 0;  // 0 for a deletion
    std::vector<std::uint8_t> data;
    std::string str() const;  // "KEY\NAME=dword:N" and the like, for messages
};

// Passes every call to a real backend and records the writes that succeeded.
class RecordingBackend : public platform::RegistryBackend {
  public:
    explicit RecordingBackend(platform::RegistryBackend& inner) : inner_(inner) {}
    long OpenKey(platform::HKey root, const std::string& path, std::uint32_t access,
                 platform::HKey* out) override;
    long CreateKeyEx(platform::HKey root, const std::string& path, std::uint32_t options,
                     std::uint32_t access, platform::HKey* out) override;
    long CreateKey(platform::HKey root, const std::string& path, platform::HKey* out) override;
    long QueryValue(platform::HKey key, const std::string& name, std::uint32_t* type,
                    std::uint8_t* data, std::uint32_t* size) override;
    long SetValue(platform::HKey key, const std::string& name, std::uint32_t type,
                  const std::uint8_t* data, std::uint32_t size) override;
    long DeleteValue(platform::HKey key, const std::string& name) override;
    long CloseKey(platform::HKey key) override;

    std::vector<Write> writes;
    int openHandles = 0;

  private:
    platform::RegistryBackend& inner_;
    std::map<platform::HKey, std::string> paths_;
};

// A machine made up for the test: its Windows version, its files and the programs that start.
class FakePlatform : public platform::Platform {
  public:
    explicit FakePlatform(platform::RegistryBackend& registry) : registry_(registry) {}
    bool GetVersionEx(platform::OsVersion& out) override;
    std::optional<platform::FixedFileVersion> FileVersion(const std::string& name) override;
    std::string LocateFile(const std::string& name) override;
    platform::FileSize SizeOfFile(const std::string& path) override;
    std::string StartFolder() override { return startFolder; }
    bool StartProcess(const std::string& commandLine) override;

    struct File {
        std::optional<platform::FixedFileVersion> version;
        std::optional<std::uint64_t> size;
    };
    std::optional<platform::OsVersion> version;  // nullopt: the query fails
    std::map<std::string, File> files;           // by the name the system asks for
    std::set<std::string> startable;             // command lines that start
    std::vector<std::string> started;            // every start asked for
    std::string startFolder = "C:\\WINDOWS";

  private:
    platform::RegistryBackend& registry_;
};

// The backend scenario tests run on; each build supplies its own.
std::unique_ptr<platform::RegistryBackend> MakeScenarioBackend();

class Scenario : public ::testing::Test {
  public:
    Scenario();
    ~Scenario() override;

    // Windows XP SP3 as GetVersionExA reports it.
    void WindowsXp();
    void WindowsVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor);
    // The driver's keys, the A3D, card-software, Run and DirectXMedia keys, all empty.
    void DriverKeys();
    // Opens the main window (its load runs) and returns what it printed.
    std::string Start();
    // Runs headless commands, one a line; returns what they printed.
    std::string Run(const std::string& commands);
    // One line of a dump: "frmMain.chkTray checkbox visible=1 ...".
    std::string Line(const std::string& target);
    int Value(const std::string& target);
    bool Enabled(const std::string& target);
    bool Visible(const std::string& target);
    std::string Caption(const std::string& target);
    std::string Text(const std::string& target);

    void Key(const std::string& path);
    void Dword(const std::string& path, const std::string& name, std::uint32_t value);
    void Sz(const std::string& path, const std::string& name, const std::string& text);
    void Bytes(const std::string& path, const std::string& name, std::uint32_t type,
               const std::vector<std::uint8_t>& data);
    std::optional<std::int32_t> ReadDword(const std::string& path, const std::string& name);
    std::optional<std::string> ReadSz(const std::string& path, const std::string& name);
    std::optional<std::vector<std::uint8_t>> ReadRaw(const std::string& path,
                                                     const std::string& name,
                                                     std::uint32_t* type = nullptr);
    bool KeyExists(const std::string& path);
    // Writes recorded since the last call, as "KEY\NAME=..." texts.
    std::vector<std::string> TakeWrites();

    std::unique_ptr<platform::RegistryBackend> backend_;
    RecordingBackend recorder_;
    FakePlatform platform_;
    settings::Registry registry_;
    std::ostringstream out_;
    gui::HeadlessPrompter prompter_;
    ui::App app_;
    gui::Headless driver_;
};

}  // namespace testing_support
