// The one gateway to the registry. Every call opens its key, does one thing and closes it
// again (or, inside KeepKeysOpen, leaves it open for the next call), reports nothing, and
// reads what it cannot read as empty.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_backend.h"

namespace settings {

using platform::HKey;
using platform::kHKLM;
using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_SZ;

// The result of a read: empty, text (every stored byte) or a signed 32-bit number.
class RegValue {
  public:
    enum class Kind { Empty, Text, Number };

    RegValue() = default;
    static RegValue Text(std::string text);
    static RegValue Number(std::int32_t number);

    Kind kind() const { return kind_; }
    bool empty() const { return kind_ == Kind::Empty; }
    // "" when empty, decimal digits for a number, the text itself for a text.
    std::string str() const;
    bool operator==(const RegValue&) const = default;

  private:
    Kind kind_ = Kind::Empty;
    std::string text_;
    std::int32_t number_ = 0;
};

// Decimal text to a signed 32-bit number the way the layer accepts it: optional blanks and
// sign, digits only, within range. nullopt for anything else.
std::optional<std::int32_t> ParseNumber(std::string_view text);
// The same, for the settings windows keep as 16-bit numbers: a number that does not fit gives
// nothing rather than a wrapped value.
std::optional<std::int16_t> ParseInt16(std::string_view text);

class Registry {
  public:
    explicit Registry(platform::RegistryBackend& backend) : backend_(backend) {}

    void StoreValue(HKey root, const std::string& path, const std::string& name,
                    const std::string& text, std::uint32_t type);
    void StoreValue(HKey root, const std::string& path, const std::string& name,
                    std::int32_t number, std::uint32_t type);
    RegValue FetchValue(HKey root, const std::string& path, const std::string& name);
    void EnsureKey(HKey root, const std::string& path);
    void EraseValue(HKey root, const std::string& path, const std::string& name);

    long StoreOpenValue(HKey key, const std::string& name, std::uint32_t type,
                        const RegValue& value);
    long FetchOpenValue(HKey key, const std::string& name, RegValue& value);
    void StoreHexBinary(HKey key, const std::string& name, const std::string& hexList);

    // The writes body makes land together (one commit on the embedded store); each still
    // follows the rules above.
    void Together(const std::function<void()>& body) { backend_.Together(body); }

    // Runs body with each key that a read, write or erase opens kept open until body ends,
    // so that a load of many settings from a few keys opens each key once (every open and
    // close is a round trip to the registry). What each call reads and writes is unchanged.
    // A key that cannot be opened is not kept: body may make it before its next use.
    void KeepKeysOpen(const std::function<void()>& body);

    platform::RegistryBackend& backend() { return backend_; }

  private:
    void Store(HKey root, const std::string& path, const std::string& name, const RegValue& v,
               std::uint32_t type);
    // The key for one call: a kept one, or newly opened with all access (0 when it cannot be).
    HKey OpenKey(HKey root, const std::string& path);
    void CloseKey(HKey key);

    struct KeptKey {
        HKey root;
        std::string path;
        HKey key;
    };

    platform::RegistryBackend& backend_;
    bool keeping_ = false;
    std::vector<KeptKey> kept_;
};

// The binary write pattern: the key is opened with the create call (creating it when
// missing). The key closes when this object goes, whether or not anything was written.
class BinaryKey {
  public:
    BinaryKey(Registry& registry, const std::string& path);
    ~BinaryKey();
    BinaryKey(const BinaryKey&) = delete;
    BinaryKey& operator=(const BinaryKey&) = delete;

    bool is_open() const { return open_; }
    void Write(const std::string& name, const std::string& hexList);

  private:
    Registry& registry_;
    HKey key_ = 0;
    bool open_ = false;
};

// The one registry failure a user is ever told of: a key the binary write pattern cannot
// open. The layer shows nothing itself; the window that asked shows this, with no icon.
struct Notice {
    const char* title;
    const char* text;
};
inline constexpr Notice kUnableToOpenKey = {"Sorry", "unable to open key"};

// Bytes to the hex list text the binary writer takes ("00,01,ff").
std::string HexList(const std::uint8_t* data, std::size_t size);

}  // namespace settings
