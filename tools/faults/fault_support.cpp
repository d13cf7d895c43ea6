#include "fault_support.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "registry/registry_backend.h"
#include "settings/registry.h"

namespace faults {

bool IsText(long seq) {
    return seq % 7 == 3;
}

std::string Expected(long seq) {
    if (!IsText(seq)) return std::to_string(static_cast<std::int32_t>(seq));
    const std::size_t length = static_cast<std::size_t>(seq * 7919 % 3000);
    std::string text = "#" + std::to_string(seq) + ":";
    while (text.size() < length) text += static_cast<char>('a' + (seq + text.size()) % 26);
    return text;
}

std::string NameOf(int slot) {
    return "Fault" + std::to_string(slot % kNamesPerKey);
}

void StoreSeq(settings::Registry& registry, const char* key, int slot, long seq) {
    const std::string name = NameOf(slot);
    if (IsText(seq)) {
        registry.StoreValue(platform::kHKLM, key, name, Expected(seq), platform::REG_SZ);
    } else {
        registry.StoreValue(platform::kHKLM, key, name, static_cast<std::int32_t>(seq),
                            platform::REG_DWORD);
    }
}

bool StartsGroup(long seq) {
    return seq % kGroupSize == 0 && seq / kGroupSize % 5 == 2;
}

bool InGroup(long seq) {
    return StartsGroup(seq - seq % kGroupSize);
}

long UnitEnd(long seq) {
    return StartsGroup(seq) ? seq + kGroupSize - 1 : seq;
}

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace faults
