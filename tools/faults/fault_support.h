// What the fault programs share: the numbered writes a writer makes and a checker expects, the
// units they land in, and the pipe between the two.
#pragma once

#include <cstddef>
#include <string>

namespace settings {
class Registry;
}

namespace faults {

// Write number seq is a number or, every seventh time, a text of up to 3000 characters, so
// that a value changes type and its data moves.
bool IsText(long seq);
std::string Expected(long seq);
// A slot is a key and one of the value names each key holds.
constexpr int kNamesPerKey = 40;
std::string NameOf(int slot);
// Writes number seq into the slot's value of key, as the windows write a setting.
void StoreSeq(settings::Registry& registry, const char* key, int slot, long seq);

// Some writes come in groups of four made together, as Reset All makes its writes: a group is
// one unit that lands whole or not at all. Every other unit is a single write.
constexpr long kGroupSize = 4;
bool StartsGroup(long seq);
bool InGroup(long seq);
// The last write of the unit that starts at seq.
long UnitEnd(long seq);

// Seconds on the monotonic clock.
double Now();
// The whole buffer written or read, across short transfers and interruptions; false on an
// error or (reading) the end of input.
bool WriteAll(int fd, const void* data, std::size_t size);
bool ReadAll(int fd, void* data, std::size_t size);

}  // namespace faults
