// The version text of a file: the four parts of its fixed file version joined by ".", or
// "N/A" when the file or its version resource cannot be found or read.
#pragma once

#include <string>

#include "platform/platform.h"

namespace detect {

// Each part is a 16-bit half of dwFileVersionMS/LS written as a signed number, so 65535 shows
// as "-1": the advice compares these texts, and users know them in this form.
std::string FileVersionText(platform::Platform& platform, const std::string& name);

}  // namespace detect
