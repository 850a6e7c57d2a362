#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

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

// An open directory, closed with this handle; a lock taken on it lasts as
// long.
class DirectoryHandle {
 public:
  explicit DirectoryHandle(int fd = -1) : fd_(fd) {}
  DirectoryHandle(DirectoryHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  DirectoryHandle& operator=(DirectoryHandle&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~DirectoryHandle();
  int fd() const { return fd_; }

 private:
  int fd_;
};

struct OutputDirectory {
  std::filesystem::path path;  // where the frames go
  DirectoryHandle lock;        // held on a shared directory while the run writes into it
};

// A fresh directory (`exclusive`): created with any missing parents; its
// last component must not exist yet, and on a clash a new fresh name is
// drawn beside it (a few tries).
// A shared one (the selftest's fixed directory): created when missing,
// otherwise taken over only when it is a real directory (not a symbolic
// link) of this user's; it is locked against other runs, and the frame files
// an earlier run left in it are removed.
// Throws Fail "cannot create DIR: reason".
OutputDirectory createOutputDirectory(const std::filesystem::path& dir, bool exclusive);
