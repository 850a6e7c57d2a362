#pragma once
#include <filesystem>
#include <optional>
#include <string>

// The platform's temporary directory: TMPDIR when it is an absolute path,
// else /tmp.
std::filesystem::path temporaryDirectory();

// "stillpick-" followed by the first 8 upper-case hex digits of a random
// version-4 UUID.
std::string freshDirectoryName();

// The output directory of a frames run: a fresh "stillpick-XXXXXXXX" below
// the --out value (relative to the working directory; empty means the working
// directory itself) or below the temporary directory. Nothing is created.
std::filesystem::path freshOutputDirectory(const std::optional<std::string>& out);

// Creates dir with any missing parents and returns the directory created.
// When exclusive, the last component must not exist yet: on a clash a new
// fresh name is drawn beside it (a few tries). Throws Fail.
std::filesystem::path createOutputDirectory(const std::filesystem::path& dir, bool exclusive);
