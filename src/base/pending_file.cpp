#include "base/pending_file.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace {

// Process-wide because a signal handler has no other way to reach it. The
// path is written only while `noted` is false, and read only while it is true.
char pendingPath[PATH_MAX];
std::atomic<bool> noted{false};

}  // namespace

void notePendingFile(const char* path) {
  noted.store(false);
  const size_t length = std::strlen(path);
  if (length >= sizeof pendingPath) return;  // a path that long cannot have been created either
  std::memcpy(pendingPath, path, length + 1);
  noted.store(true);
}

void clearPendingFile() { noted.store(false); }

void removePendingFile() {
  if (noted.exchange(false)) unlink(pendingPath);
}
