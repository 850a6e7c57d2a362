#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <exception>

#include "app/cli.h"
#include "app/emit.h"
#include "app/interruption.h"

int main(int argc, char** argv) {
  // Standard error is never written: the libraries underneath (FFmpeg,
  // Tesseract, OpenCV) are silenced where they allow it, and whatever they
  // still print goes nowhere. A closed stdout must not kill the process.
  int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDERR_FILENO);
    close(null);
  }
  std::signal(SIGPIPE, SIG_IGN);
  handleInterruptions();
  try {
    return CLI::main(std::vector<std::string>(argv, argv + argc));
  } catch (const std::bad_alloc&) {
    die(kOutOfMemoryMessage);
  } catch (const std::exception& error) {
    die(error.what());
  } catch (...) {
    die("unexpected error");
  }
}
