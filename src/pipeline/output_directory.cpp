#include "pipeline/output_directory.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "base/fail.h"

namespace fs = std::filesystem;

fs::path temporaryDirectory() {
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir && tmpdir[0] == '/') return fs::path(tmpdir);
  return fs::path("/tmp");
}

std::string freshDirectoryName() {
  // The first 8 hex digits of a version-4 UUID are all random bits.
  std::random_device source;
  uint32_t bits = source();
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", bits);
  return std::string("stillpick-") + hex;
}

fs::path freshOutputDirectory(const std::optional<std::string>& out) {
  fs::path base = temporaryDirectory();
  if (out) base = out->empty() ? fs::current_path() : fs::absolute(fs::path(*out));
  return base / freshDirectoryName();
}

namespace {

[[noreturn]] void failCreating(const fs::path& dir, int error) {
  throw Fail("cannot create " + dir.string() + ": " + std::strerror(error));
}

}  // namespace

fs::path createOutputDirectory(const fs::path& wanted, bool exclusive) {
  std::error_code error;
  fs::path dir = wanted;
  fs::path parent = dir.parent_path();
  if (!exclusive) {
    fs::create_directories(dir, error);
    if (error) failCreating(dir, error.value());
    if (!fs::is_directory(dir)) failCreating(dir, ENOTDIR);
    return dir;
  }
  if (!parent.empty()) {
    fs::create_directories(parent, error);
    if (error) failCreating(parent, error.value());
  }
  constexpr int kTries = 8;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    // mkdir fails with EEXIST when anything of that name is there already:
    // another run's output is never shared or replaced.
    if (::mkdir(dir.c_str(), 0777) == 0) return dir;
    if (errno != EEXIST) failCreating(dir, errno);
    dir = parent / freshDirectoryName();
  }
  failCreating(dir, EEXIST);
}
