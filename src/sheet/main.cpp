// stillpick-sheet RESULTS [CLIPS]: the contact sheet of a batch run as one
// self-contained HTML page on standard output. RESULTS holds one frames
// document per line ("-" reads standard input); CLIPS, when given, names the
// clip of each line. Like stillpick itself it never writes to standard error:
// exit 0 with the page, 2 with nothing written when the command line is wrong
// or an input file cannot be read, 1 when the page could not be written out.
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "sheet/contact_sheet.h"

namespace {

// Frame files larger than this are left out as unreadable.
constexpr std::streamoff kMaxFrameBytes = 32 << 20;

std::optional<std::string> readStream(std::istream& in) {
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(contents).str();
}

std::optional<std::string> readInput(const std::string& path) {
  if (path == "-") return readStream(std::cin);
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return std::nullopt;
  return readStream(in);
}

// Only regular files are read for thumbnails: a path naming a FIFO or a
// device in a document must not hang or flood the run.
std::optional<std::string> readFrame(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFrameBytes)
    return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return readStream(in);
}

// One entry per line; a final line feed does not start another line, and a
// carriage return before a line feed is dropped.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  if (argc < 2 || argc > 3) return 2;
  std::optional<std::string> results = readInput(argv[1]);
  if (!results) return 2;
  std::vector<std::string> clipNames;
  if (argc == 3) {
    std::optional<std::string> clips = readInput(argv[2]);
    if (!clips) return 2;
    clipNames = splitLines(*clips);
  }
  std::string page;
  try {
    page = renderSheet(splitLines(*results), clipNames, readFrame);
  } catch (...) {  // out of memory: nothing is written
    return 1;
  }
  if (std::fwrite(page.data(), 1, page.size(), stdout) != page.size()) return 1;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return 1;
  return 0;
}
