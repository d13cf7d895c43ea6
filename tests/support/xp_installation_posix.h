// A Windows XP SP3 installation with the card's driver, made here from nothing: the Windows
// folder's system32/config/SYSTEM and SOFTWARE hives, written as XP writes them (format 1.5,
// real last-written times in the headers and the keys; support/hive_writer.h) from
// data/seed.reg, never through the program under test. SYSTEM has Select (Current 2, Default 2,
// LastKnownGood 3, Failed 0) and two control sets: ControlSet002, the current one, with the
// seed's driver keys, and ControlSet001, an older one whose PrimaryXtalk is 4 and that has no
// WPCRSET. No hive of Windows or of the card's vendors is used.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

struct XpOptions {
    // Keys of filler under SOFTWARE\Classes, about 560 bytes of hive each (60,000: a SOFTWARE
    // of about 33 MB).
    int fillerKeys = 0;
    // Devices in both control sets' Enum\PCI, each a key with a class and two instance keys of
    // 7 values, about 3 KB of hive (2,000: a SYSTEM of about 12 MB, 12,024 keys, 60,066 values).
    int devices = 0;
    // Keys and values named outside ASCII and Windows-1252 (the driver's key's subkey Grüße,
    // SOFTWARE's Names), and names Unicode takes for one that Windows keeps apart (Grüße and
    // GRÜSSE, µ and Μ).
    bool unusualNames = false;
    // Values over 16,344 bytes, kept in big data segments (the current control set's
    // Control\BigData key, SOFTWARE's BigData).
    bool bigData = false;
    // The hives' format: 5 as XP's own; 3 for lf lists and no big data.
    std::uint32_t minor = 5;
};

// Makes the installation under windowsFolder (with seedFile "", a bare one: Select, the two
// control sets, SOFTWARE's Classes, Microsoft and Policies, nothing else) (created; names in
// these letter cases: system32/config/SYSTEM, SOFTWARE). Returns "" or what went wrong.
std::string MakeXpInstallation(const std::string& windowsFolder, const std::string& seedFile,
                               const XpOptions& options);
std::string MakeXpInstallation(const std::string& windowsFolder, const std::string& seedFile,
                               int fillerKeys = 0);

// The seed file of the source tree.
std::string SeedFile();

}  // namespace testing_support
