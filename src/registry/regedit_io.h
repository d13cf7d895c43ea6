// Moving a registry's keys and values through regedit files: a file's entries applied to a
// registry all or none, and a registry walked into a file. Only the RegistryTree interface is
// used, so the embedded store and an XP installation's hives take the very same path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/regedit/regedit.h"
#include "registry/registry_tree.h"

namespace platform {

// Applies a file's entries in one group: all of them land or, when the registry fails
// underneath (no space, an I/O error), none. An entry the file skips, or one the registry
// refuses (access denied, a name it does not take), is told in *skipped (when given) as
// "source:line: ...", in file order, and the rest is applied. Returns "" or the failure
// ("source:line: ..." or "source: ..."); after a failure *skipped is empty.
std::string ApplyRegEntries(RegistryTree& tree, const std::vector<regedit::Entry>& entries,
                            const std::string& source, std::vector<std::string>* skipped);

// Reads a file and applies it. A file regedit would not read is refused whole.
std::string ImportRegText(RegistryTree& tree, std::string_view bytes, const std::string& source,
                          std::vector<std::string>* skipped);
std::string ImportRegFile(RegistryTree& tree, const std::string& path,
                          std::vector<std::string>* skipped);

// Writes the key (with its subkeys) or, for "", the whole registry. Returns "" or the error.
std::string ExportRegText(RegistryTree& tree, const std::string& key, regedit::Encoding encoding,
                          std::string* out);
// The keys of a list that exist, each with its subkeys; an error when none does.
std::string ExportRegText(RegistryTree& tree, const std::vector<std::string>& keys,
                          regedit::Encoding encoding, std::string* out);
// Writes text to a file beside path and renames it over path. Returns "" or the error.
std::string WriteRegFile(const std::string& path, const std::string& text);
std::string ExportRegFile(RegistryTree& tree, const std::string& path, const std::string& key,
                          regedit::Encoding encoding = regedit::Encoding::Regedit4);

}  // namespace platform
