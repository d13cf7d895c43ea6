// A Windows XP SP3 installation with the card's driver, made here from nothing: the Windows
// folder's system32/config/SYSTEM and SOFTWARE hives, generated empty (platform/
// hive_format_posix.h) and filled with libhivex and the program's own import of
// data/seed.reg. SYSTEM has Select (Current 2, Default 2, LastKnownGood 3, Failed 0) and two
// control sets: ControlSet002, the current one, with the seed's driver keys, and
// ControlSet001, an older one whose PrimaryXtalk is 4 and that has no WPCRSET. No hive of
// Windows or of the card's vendors is used.
#pragma once

#include <string>

namespace testing_support {

// Makes the installation under windowsFolder (with seedFile "", a bare one: Select, the two
// control sets, SOFTWARE's Classes, Microsoft and Policies, nothing else) (created; names in these
// letter cases: system32/config/SYSTEM, SOFTWARE). fillerKeys adds that many keys of filler under
// SOFTWARE\Classes, each with a 256-byte value, to make the hive large. Returns "" or what
// went wrong.
std::string MakeXpInstallation(const std::string& windowsFolder, const std::string& seedFile,
                               int fillerKeys = 0);

// The seed file of the source tree.
std::string SeedFile();

}  // namespace testing_support
