#include "app/interruption.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "base/pending_file.h"

namespace {

constexpr char kInterruptedLine[] = "{\"error\":\"interrupted\",\"ok\":false}\n";

// Process-wide because the signal handler has no other way to reach it.
std::atomic<bool> printing{false};

void interrupted(int signal) {
  removePendingFile();
  if (!printing.exchange(true)) {
    ssize_t ignored = write(STDOUT_FILENO, kInterruptedLine, sizeof kInterruptedLine - 1);
    (void)ignored;
  }
  _exit(128 + signal);
}

}  // namespace

void handleInterruptions() {
  struct sigaction action {};
  action.sa_handler = interrupted;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void documentIsPrinting() { printing.store(true); }
