#pragma once
#include <string>
#include <string_view>

// `text` with every byte that does not belong to a well-formed UTF-8 sequence
// replaced by U+FFFD, so that readings can always be written as JSON.
std::string validUtf8(std::string_view text);
