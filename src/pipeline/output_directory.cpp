#include "pipeline/output_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

[[noreturn]] void failCreating(const fs::path& dir, const std::string& reason) {
  throw Fail("cannot create " + dir.string() + ": " + reason);
}

[[noreturn]] void failCreating(const fs::path& dir, int error) { failCreating(dir, std::strerror(error)); }

// Frame files and the temporary files of their writing, as a run leaves them.
bool isFrameFile(const std::string& name) {
  return (name.starts_with("frame-") && name.ends_with(".jpg")) || name.starts_with(".frame-");
}

OutputDirectory takeOverShared(const fs::path& dir) {
  std::error_code error;
  if (dir.has_parent_path()) fs::create_directories(dir.parent_path(), error);
  if (error) failCreating(dir.parent_path(), error.value());
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) failCreating(dir, errno);
  // Never through a symbolic link: in a shared temporary directory another
  // user could have planted one pointing anywhere.
  struct stat info {};
  if (lstat(dir.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) failCreating(dir, "it is a symbolic link");
  DirectoryHandle handle(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (handle.fd() < 0) failCreating(dir, errno == ELOOP ? "it is a symbolic link" : std::strerror(errno));
  if (fstat(handle.fd(), &info) != 0) failCreating(dir, errno);
  if (info.st_uid != geteuid()) failCreating(dir, "it belongs to another user");
  if (flock(handle.fd(), LOCK_EX) != 0) failCreating(dir, errno);
  DIR* listing = fdopendir(::dup(handle.fd()));
  if (!listing) failCreating(dir, errno);
  while (const dirent* entry = readdir(listing))
    if (isFrameFile(entry->d_name) && unlinkat(handle.fd(), entry->d_name, 0) != 0 && errno != ENOENT) {
      const int cause = errno;
      closedir(listing);
      failCreating(dir, cause);
    }
  closedir(listing);
  return {dir, std::move(handle)};
}

}  // namespace

DirectoryHandle::~DirectoryHandle() {
  if (fd_ >= 0) ::close(fd_);
}

OutputDirectory createOutputDirectory(const fs::path& wanted, bool exclusive) {
  if (!exclusive) return takeOverShared(wanted);
  std::error_code error;
  fs::path dir = wanted;
  fs::path parent = dir.parent_path();
  if (!parent.empty()) {
    fs::create_directories(parent, error);
    if (error) failCreating(parent, error.value());
  }
  constexpr int kTries = 8;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    // mkdir fails with EEXIST when anything of that name is there already:
    // another run's output is never shared or replaced.
    if (::mkdir(dir.c_str(), 0777) == 0) return {dir, DirectoryHandle()};
    if (errno != EEXIST) failCreating(dir, errno);
    dir = parent / freshDirectoryName();
  }
  failCreating(dir, EEXIST);
}
