#pragma once
#include <string_view>
#include <vector>

// The lines of `text`, without their "\n" or "\r\n". Empty lines are kept,
// so a line's index is its number less one; a final line break ends the last
// line rather than starting an empty one.
std::vector<std::string_view> linesOf(std::string_view text);
