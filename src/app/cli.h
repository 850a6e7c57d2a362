#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The failure of a run that ran out of memory, wherever that happened.
inline constexpr const char* kOutOfMemoryMessage = "out of memory";

// The process entry: reads the command word and options, runs one command
// and prints its one document.
struct CLI {
  // Returns the exit status; die() ends the process with 1 on its own.
  static int main(const std::vector<std::string>& args);
};

// The value after the first "--name" anywhere in args, argv[0] and the
// command word included; nothing when absent or last.
std::optional<std::string> arg(const std::vector<std::string>& args, const std::string& name);

// A decimal signed 64-bit integer written in full as [+-]?[0-9]+, else nothing.
std::optional<int64_t> parseInteger(const std::string& text);

// --count/--size: the option's value when it is a number, else the default.
int64_t integerOption(const std::vector<std::string>& args, const std::string& name, int64_t fallback);
