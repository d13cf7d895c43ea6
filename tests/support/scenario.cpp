#include "support/scenario.h"

#include "main_window/frm_main.h"
#include "settings/schema.h"
#include "support/memory_registry.h"

namespace testing_support {

using platform::HKey;

std::string Write::str() const {
    std::string text = key + "\\" + name + "=";
    if (type == 0) return text + "-";
    if (type == platform::REG_DWORD && data.size() == 4) {
        const std::uint32_t bits = data[0] | (data[1] << 8) | (data[2] << 16) |
                                   (static_cast<std::uint32_t>(data[3]) << 24);
        return text + "dword:" + std::to_string(static_cast<std::int32_t>(bits));
    }
    if (type == platform::REG_SZ) {
        std::string shown;
        for (std::uint8_t byte : data) {
            if (byte == 0) {
                shown += "\\0";
            } else {
                shown.push_back(static_cast<char>(byte));
            }
        }
        return text + "\"" + shown + "\"";
    }
    return text + "hex(" + std::to_string(type) +
           "):" + settings::HexList(data.data(), data.size());
}

long RecordingBackend::OpenKey(HKey root, const std::string& path, std::uint32_t access,
                               HKey* out) {
    const long status = inner_.OpenKey(root, path, access, out);
    if (status == 0) {
        paths_[*out] = path;
        ++openHandles;
    }
    return status;
}

long RecordingBackend::CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                                   std::uint32_t access, HKey* out) {
    const long status = inner_.CreateKeyEx(root, path, options, access, out);
    if (status == 0) {
        paths_[*out] = path;
        ++openHandles;
    }
    return status;
}

long RecordingBackend::CreateKey(HKey root, const std::string& path, HKey* out) {
    const long status = inner_.CreateKey(root, path, out);
    if (status == 0) {
        paths_[*out] = path;
        ++openHandles;
    }
    return status;
}

long RecordingBackend::QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) {
    return inner_.QueryValue(key, name, type, data, size);
}

long RecordingBackend::SetValue(HKey key, const std::string& name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) {
    const long status = inner_.SetValue(key, name, type, data, size);
    if (status == 0) writes.push_back({paths_[key], name, type, {data, data + size}});
    return status;
}

long RecordingBackend::DeleteValue(HKey key, const std::string& name) {
    const long status = inner_.DeleteValue(key, name);
    if (status == 0) writes.push_back({paths_[key], name, 0, {}});
    return status;
}

long RecordingBackend::CloseKey(HKey key) {
    const long status = inner_.CloseKey(key);
    if (key != 0 && status == 0) {
        paths_.erase(key);
        --openHandles;
    }
    return status;
}

bool FakePlatform::GetVersionEx(platform::OsVersion& out) {
    if (!version) return false;
    out = *version;
    return true;
}

std::optional<platform::FixedFileVersion> FakePlatform::FileVersion(const std::string& name) {
    const auto it = files.find(name);
    return it == files.end() ? std::nullopt : it->second.version;
}

std::string FakePlatform::LocateFile(const std::string& name) {
    return files.count(name) ? "C:\\WINDOWS\\system32\\" + name : "";
}

platform::FileSize FakePlatform::SizeOfFile(const std::string& path) {
    for (const auto& [name, file] : files) {
        if (path == "C:\\WINDOWS\\system32\\" + name && file.size) {
            return {file.size, platform::SizeFailure::None};
        }
    }
    return {std::nullopt,
            path.empty() ? platform::SizeFailure::InvalidName : platform::SizeFailure::Other};
}

bool FakePlatform::StartProcess(const std::string& commandLine) {
    started.push_back(commandLine);
    return startable.count(commandLine) != 0;
}

Scenario::Scenario()
    : backend_(MakeScenarioBackend()),
      recorder_(*backend_),
      platform_(recorder_),
      registry_(recorder_),
      prompter_(out_),
      app_(registry_, platform_, prompter_),
      driver_(app_, prompter_, out_) {}

Scenario::~Scenario() = default;

void Scenario::WindowsXp() {
    WindowsVersion(2, 5, 1);
}

void Scenario::WindowsVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor) {
    platform::OsVersion os;
    os.platformId = platformId;
    os.major = major;
    os.minor = minor;
    os.build = 2600;
    os.csdVersion = std::string("Service Pack 3") + std::string(128 - 14, '\0');
    platform_.version = os;
}

void Scenario::DriverKeys() {
    for (const char* key : {schema::kControlPanel, schema::kCustomization, schema::kSpdifEnableList,
                            schema::kDriverEqualizer, schema::kAU8830Equalizer,
                            schema::kSpeakerCompensation, schema::kRun, schema::kDirectXMedia}) {
        Key(key);
    }
}

std::string Scenario::Start() {
    const auto before = out_.str().size();
    app_.Open<main_window::FrmMain>().Show();
    app_.Collect();
    return out_.str().substr(before);
}

std::string Scenario::Run(const std::string& commands) {
    const auto before = out_.str().size();
    std::istringstream in(commands);
    std::string line;
    while (std::getline(in, line)) driver_.Execute(line);
    return out_.str().substr(before);
}

std::string Scenario::Line(const std::string& target) {
    const auto dot = target.find('.');
    const std::string dump = Run("dump " + target.substr(0, dot));
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(target + " ", 0) == 0) return line;
    }
    ADD_FAILURE() << "no dump line for " << target;
    return "";
}

namespace {
std::string Field(const std::string& line, const std::string& name) {
    const auto at = line.find(" " + name + "=");
    if (at == std::string::npos) return "";
    const auto start = at + name.size() + 2;
    if (line[start] != '"') return line.substr(start, line.find(' ', start) - start);
    std::string text;
    for (auto i = start + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\') ++i;
        text.push_back(line[i]);
    }
    return text;
}
}  // namespace

int Scenario::Value(const std::string& target) {
    return std::stoi(Field(Line(target), "value"));
}
bool Scenario::Enabled(const std::string& target) {
    return Field(Line(target), "enabled") == "1";
}
bool Scenario::Visible(const std::string& target) {
    return Field(Line(target), "visible") == "1";
}
std::string Scenario::Caption(const std::string& target) {
    return Field(Line(target), "caption");
}
std::string Scenario::Text(const std::string& target) {
    return Field(Line(target), "value");
}

void Scenario::Key(const std::string& path) {
    HKey key = 0;
    ASSERT_EQ(backend_->CreateKey(platform::kHKLM, path, &key), 0) << path;
    backend_->CloseKey(key);
}

void Scenario::Bytes(const std::string& path, const std::string& name, std::uint32_t type,
                     const std::vector<std::uint8_t>& data) {
    HKey key = 0;
    ASSERT_EQ(backend_->CreateKey(platform::kHKLM, path, &key), 0) << path;
    backend_->SetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
    backend_->CloseKey(key);
}

void Scenario::Dword(const std::string& path, const std::string& name, std::uint32_t value) {
    Bytes(path, name, platform::REG_DWORD,
          {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
           static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void Scenario::Sz(const std::string& path, const std::string& name, const std::string& text) {
    Bytes(path, name, platform::REG_SZ, {text.begin(), text.end()});
}

std::optional<std::vector<std::uint8_t>> Scenario::ReadRaw(const std::string& path,
                                                           const std::string& name,
                                                           std::uint32_t* type) {
    HKey key = 0;
    if (backend_->OpenKey(platform::kHKLM, path, platform::kKeyQueryValue, &key) != 0) {
        return std::nullopt;
    }
    std::uint32_t valueType = 0;
    std::uint32_t size = 0;
    std::optional<std::vector<std::uint8_t>> data;
    if (backend_->QueryValue(key, name, &valueType, nullptr, &size) == 0) {
        std::vector<std::uint8_t> bytes(size + 1);
        if (backend_->QueryValue(key, name, &valueType, bytes.data(), &size) == 0) {
            bytes.resize(size);
            data = bytes;
            if (type) *type = valueType;
        }
    }
    backend_->CloseKey(key);
    return data;
}

std::optional<std::int32_t> Scenario::ReadDword(const std::string& path, const std::string& name) {
    std::uint32_t type = 0;
    const auto data = ReadRaw(path, name, &type);
    if (!data || type != platform::REG_DWORD || data->size() != 4) return std::nullopt;
    const auto& d = *data;
    return static_cast<std::int32_t>(d[0] | (d[1] << 8) | (d[2] << 16) |
                                     (static_cast<std::uint32_t>(d[3]) << 24));
}

std::optional<std::string> Scenario::ReadSz(const std::string& path, const std::string& name) {
    std::uint32_t type = 0;
    const auto data = ReadRaw(path, name, &type);
    if (!data || type != platform::REG_SZ) return std::nullopt;
    return std::string(data->begin(), data->end());
}

bool Scenario::KeyExists(const std::string& path) {
    HKey key = 0;
    if (backend_->OpenKey(platform::kHKLM, path, platform::kKeyQueryValue, &key) != 0) {
        return false;
    }
    backend_->CloseKey(key);
    return true;
}

std::vector<std::string> Scenario::TakeWrites() {
    std::vector<std::string> texts;
    for (const Write& write : recorder_.writes) texts.push_back(write.str());
    recorder_.writes.clear();
    return texts;
}

}  // namespace testing_support
