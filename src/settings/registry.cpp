#include "settings/registry.h"

#include <charconv>
#include <limits>
#include <vector>

#include "text/ascii.h"

namespace settings {

using platform::kKeyAllAccess;
using platform::winerr::kSuccess;

RegValue RegValue::Text(std::string text) {
    RegValue v;
    v.kind_ = Kind::Text;
    v.text_ = std::move(text);
    return v;
}

RegValue RegValue::Number(std::int32_t number) {
    RegValue v;
    v.kind_ = Kind::Number;
    v.number_ = number;
    return v;
}

std::string RegValue::str() const {
    switch (kind_) {
        case Kind::Empty:
            return "";
        case Kind::Text:
            return text_;
        case Kind::Number:
            return std::to_string(number_);
    }
    return "";
}

std::optional<std::int32_t> ParseNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

std::optional<std::int16_t> ParseInt16(std::string_view text) {
    const auto number = ParseNumber(text);
    using Limits = std::numeric_limits<std::int16_t>;
    if (!number || *number < Limits::min() || *number > Limits::max()) return std::nullopt;
    return static_cast<std::int16_t>(*number);
}

void Registry::KeepKeysOpen(const std::function<void()>& body) {
    if (keeping_) {
        body();
        return;
    }
    struct Closer {
        Registry& registry;
        ~Closer() {
            for (const KeptKey& kept : registry.kept_) registry.backend_.CloseKey(kept.key);
            registry.kept_.clear();
            registry.keeping_ = false;
        }
    } closer{*this};
    keeping_ = true;
    body();
}

HKey Registry::OpenKey(HKey root, const std::string& path) {
    for (const KeptKey& kept : kept_) {
        if (kept.root == root && kept.path == path) return kept.key;
    }
    HKey key = 0;
    if (backend_.OpenKey(root, path, kKeyAllAccess, &key) != kSuccess) key = 0;
    if (keeping_ && key != 0) kept_.push_back({root, path, key});
    return key;
}

void Registry::CloseKey(HKey key) {
    if (!keeping_) backend_.CloseKey(key);
}

void Registry::Store(HKey root, const std::string& path, const std::string& name,
                     const RegValue& value, std::uint32_t type) {
    const HKey key = OpenKey(root, path);
    if (key != 0) StoreOpenValue(key, name, type, value);
    CloseKey(key);
}

void Registry::StoreValue(HKey root, const std::string& path, const std::string& name,
                          const std::string& text, std::uint32_t type) {
    Store(root, path, name, RegValue::Text(text), type);
}

void Registry::StoreValue(HKey root, const std::string& path, const std::string& name,
                          std::int32_t number, std::uint32_t type) {
    Store(root, path, name, RegValue::Number(number), type);
}

long Registry::StoreOpenValue(HKey key, const std::string& name, std::uint32_t type,
                              const RegValue& value) {
    if (type == REG_SZ) {
        const std::string text = value.str();
        return backend_.SetValue(key, name, REG_SZ,
                                 reinterpret_cast<const std::uint8_t*>(text.data()),
                                 static_cast<std::uint32_t>(text.size()));
    }
    if (type == REG_DWORD) {
        // A text that is no number writes nothing rather than a 0 that would silently
        // change a setting.
        const auto number = ParseNumber(value.str());
        if (!number) return platform::winerr::kInvalidParameter;
        const auto bits = static_cast<std::uint32_t>(*number);
        const std::uint8_t data[4] = {
            static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
        return backend_.SetValue(key, name, REG_DWORD, data, 4);
    }
    return kSuccess;
}

RegValue Registry::FetchValue(HKey root, const std::string& path, const std::string& name) {
    RegValue value;
    const HKey key = OpenKey(root, path);
    if (key != 0) FetchOpenValue(key, name, value);
    CloseKey(key);
    return value;
}

long Registry::FetchOpenValue(HKey key, const std::string& name, RegValue& value) {
    value = RegValue();
    // One query reads a value that fits this buffer, as the settings do; a longer one is
    // asked for its size and read again whole.
    std::uint8_t small[256];
    std::vector<std::uint8_t> large;
    std::uint8_t* data = small;
    std::uint32_t type = 0;
    std::uint32_t size = sizeof small;
    long status = backend_.QueryValue(key, name, &type, data, &size);
    if (status == platform::winerr::kMoreData) {
        status = backend_.QueryValue(key, name, &type, nullptr, &size);
        if (status != kSuccess) return status;
        large.assign(size, 0);
        data = large.data();
        status = backend_.QueryValue(key, name, &type, data, &size);
    }
    if (status != kSuccess) return status;
    if (type == REG_SZ) {
        value = RegValue::Text(std::string(data, data + size));
        return kSuccess;
    }
    if (type == REG_DWORD && size == 4) {
        const std::uint32_t bits = data[0] | (data[1] << 8) | (data[2] << 16) |
                                   (static_cast<std::uint32_t>(data[3]) << 24);
        value = RegValue::Number(static_cast<std::int32_t>(bits));
        return kSuccess;
    }
    // Other types, and a double word of the wrong length, are not settings.
    return -1;
}

void Registry::EnsureKey(HKey root, const std::string& path) {
    HKey key = 0;
    backend_.CreateKeyEx(root, path, 0, kKeyAllAccess, &key);
    backend_.CloseKey(key);
}

void Registry::EraseValue(HKey root, const std::string& path, const std::string& name) {
    const HKey key = OpenKey(root, path);
    if (key != 0) backend_.DeleteValue(key, name);
    CloseKey(key);
}

namespace {
using platform::ascii::HexDigit;
}  // namespace

void Registry::StoreHexBinary(HKey key, const std::string& name, const std::string& hexList) {
    std::vector<std::uint8_t> bytes;
    std::size_t start = 0;
    while (start <= hexList.size()) {
        std::size_t end = hexList.find(',', start);
        if (end == std::string::npos) end = hexList.size();
        // Items are fixed two-digit texts; anything else is not ours to guess at.
        int byte = 0;
        bool valid = end > start && end - start <= 2;
        for (std::size_t i = start; valid && i < end; ++i) {
            const int digit = HexDigit(hexList[i]);
            valid = digit >= 0;
            byte = byte * 16 + digit;
        }
        if (!valid) return;
        bytes.push_back(static_cast<std::uint8_t>(byte));
        start = end + 1;
    }
    backend_.SetValue(key, name, REG_BINARY, bytes.data(),
                      static_cast<std::uint32_t>(bytes.size()));
}

BinaryKey::BinaryKey(Registry& registry, const std::string& path) : registry_(registry) {
    open_ = registry_.backend().CreateKey(kHKLM, path, &key_) == kSuccess;
    if (!open_) key_ = 0;
}

BinaryKey::~BinaryKey() {
    if (open_) registry_.backend().CloseKey(key_);
}

void BinaryKey::Write(const std::string& name, const std::string& hexList) {
    if (open_) registry_.StoreHexBinary(key_, name, hexList);
}

std::string HexList(const std::uint8_t* data, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0) text.push_back(',');
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 15]);
    }
    return text;
}

}  // namespace settings
