// Texts in double quotes, as the headless driver and the probe's records print names and
// texts: " and \ escaped with a backslash, so that a reader can take the text back whole.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string Quoted(std::string_view text);
// The same with line breaks written \n and \r, for records of one line each.
std::string QuotedOnOneLine(std::string_view text);

}  // namespace platform
