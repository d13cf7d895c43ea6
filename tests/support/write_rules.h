// The writes the system defines: every value it may write or delete, with its type and the
// numbers, length or text it may write there. Random walks hold every write they see to this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/scenario.h"

namespace testing_support {

// What the system may write under one value name, and what it reads there.
struct Rule {
    const char* key;
    std::string name;
    std::uint32_t type;
    // Allowed numbers for a REG_DWORD; empty: any number (the value holds a text read back).
    std::vector<std::int32_t> numbers = {};
    std::size_t size = 0;        // REG_BINARY: the exact length
    bool deletable = false;      // the system may delete it
    const char* text = nullptr;  // REG_SZ: the one text it may write, nullptr for any
};

// Every value the system reads or writes, with what it may write there.
const std::vector<Rule>& Rules();

// "" when the write is one the system defines, else why not.
std::string Judge(const Write& write);

}  // namespace testing_support
