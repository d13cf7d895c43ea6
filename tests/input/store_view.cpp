#include "store_view.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

#include "registry/sqlite/sqlite_store.h"

namespace input {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Hex(const std::vector<std::uint8_t>& data) {
    std::string out;
    char byte[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%s%02x", i == 0 ? "" : ",", data[i]);
        out += byte;
    }
    return out;
}

class StoreFile : public StoreView {
  public:
    explicit StoreFile(std::unique_ptr<platform::SqliteStore> store) : store_(std::move(store)) {}
    bool Take(Snapshot* out, std::string* error) override {
        out->clear();
        for (const std::string& key : WatchedKeys()) {
            if (!Walk(key, out, error)) return false;
        }
        return true;
    }

  private:
    bool Walk(const std::string& key, Snapshot* out, std::string* error) {
        if (!store_->KeyExists(key)) return true;
        const std::string stored = store_->StoredKeyPath(key);
        std::vector<platform::StoredValue> values;
        if (store_->Values(stored, &values) != 0) {
            *error = "cannot read the values of " + stored;
            return false;
        }
        for (const auto& v : values)
            (*out)[SnapshotKey(stored, v.name)] = {stored, v.name, v.type, v.data};
        std::vector<std::string> subkeys;
        if (store_->SubKeys(stored, &subkeys) != 0) {
            *error = "cannot read the subkeys of " + stored;
            return false;
        }
        for (const std::string& sub : subkeys) {
            if (!Walk(stored + "\\" + sub, out, error)) return false;
        }
        return true;
    }
    std::unique_ptr<platform::SqliteStore> store_;
};

class Helper : public HelperView {
  public:
    Helper(pid_t pid, FILE* to, FILE* from) : pid_(pid), to_(to), from_(from) {}
    ~Helper() override {
        if (to_ != nullptr) {
            std::fputs("quit\n", to_);
            std::fclose(to_);
        }
        if (from_ != nullptr) std::fclose(from_);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(100000);
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    bool Ask(const std::string& command, std::string* answer) override {
        answer->clear();
        if (std::fputs((command + "\n").c_str(), to_) < 0 || std::fflush(to_) != 0) return false;
        char buffer[8192];
        while (std::fgets(buffer, sizeof buffer, from_) != nullptr) {
            std::string line(buffer);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            *answer += line + "\n";
            if (line == "end") return true;
        }
        return false;
    }
    bool Take(Snapshot* out, std::string* error) override {
        out->clear();
        if (std::fputs("snap\n", to_) < 0 || std::fflush(to_) != 0) {
            *error = "the registry helper is gone";
            return false;
        }
        char buffer[8192];
        while (std::fgets(buffer, sizeof buffer, from_) != nullptr) {
            std::string line(buffer);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            if (line == "end") return true;
            std::vector<std::string> f;
            std::stringstream fields(line);
            std::string field;
            while (std::getline(fields, field, '\t')) f.push_back(field);
            if (f.size() < 4 || f[0] != "value") continue;
            Setting s{f[1], f[2], static_cast<std::uint32_t>(std::stoul(f[3])), {}};
            std::stringstream bytes(f.size() > 4 ? f[4] : "");
            std::string b;
            while (std::getline(bytes, b, ',')) {
                if (!b.empty())
                    s.data.push_back(static_cast<std::uint8_t>(std::stoul(b, nullptr, 16)));
            }
            (*out)[SnapshotKey(s.key, s.name)] = s;
        }
        *error = "the registry helper stopped answering";
        return false;
    }

  private:
    pid_t pid_;
    FILE* to_;
    FILE* from_;
};

}  // namespace

std::string Setting::Text() const {
    switch (type) {
        case 4:
            if (data.size() == 4) {
                const std::uint32_t v = data[0] | (data[1] << 8) | (data[2] << 16) |
                                        (static_cast<std::uint32_t>(data[3]) << 24);
                return "dword:" + std::to_string(v);
            }
            break;
        case 1: {
            std::string text(data.begin(), data.end());
            while (!text.empty() && text.back() == '\0') text.pop_back();
            return "sz:\"" + text + "\"";
        }
        default:
            break;
    }
    return "hex(" + std::to_string(type) + "):" + Hex(data);
}

const std::vector<std::string>& WatchedKeys() {
    static const std::vector<std::string> keys = {
        "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830",
        "SYSTEM\\CurrentControlSet\\Services\\WPCRSET",
        "SOFTWARE\\Aureal",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
        "SOFTWARE\\Microsoft\\Multimedia\\DirectXMedia",
    };
    return keys;
}

std::string SnapshotKey(const std::string& key, const std::string& name) {
    return Lower(key + "\\" + name);
}

std::unique_ptr<StoreView> OpenStoreFile(const std::string& path, std::string* error) {
    auto store = platform::SqliteStore::Open(path, error, platform::SqliteStore::Access::ReadOnly);
    if (!store) return nullptr;
    return std::make_unique<StoreFile>(std::move(store));
}

std::unique_ptr<HelperView> StartHelper(const std::vector<std::string>& argv, std::string* error) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
        *error = "no pipes for the registry helper";
        return nullptr;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        *error = "cannot start the registry helper";
        return nullptr;
    }
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    auto helper = std::make_unique<Helper>(pid, fdopen(in[1], "w"), fdopen(out[0], "r"));
    Snapshot first;
    if (!helper->Take(&first, error)) return nullptr;
    return helper;
}

std::vector<Change> Changes(const Snapshot& before, const Snapshot& after) {
    std::vector<Change> changes;
    for (const auto& [k, v] : after) {
        const auto it = before.find(k);
        if (it == before.end()) {
            changes.push_back({k, v.key + "\\" + v.name + ": (none) -> " + v.Text()});
        } else if (!(it->second == v)) {
            changes.push_back(
                {k, v.key + "\\" + v.name + ": " + it->second.Text() + " -> " + v.Text()});
        }
    }
    for (const auto& [k, v] : before) {
        if (after.find(k) == after.end()) {
            changes.push_back({k, v.key + "\\" + v.name + ": " + v.Text() + " -> (none)"});
        }
    }
    return changes;
}

}  // namespace input
