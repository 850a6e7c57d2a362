#include "support/clips.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

std::string testDataDir() {
  fs::create_directories(STILLPICK_TEST_DATA);
  return STILLPICK_TEST_DATA;
}

std::string makeClip(const std::string& name, const std::string& ffmpegArgs) {
  std::string path = testDataDir() + "/" + name;
  if (fs::exists(path)) return path;
  // Written under a temporary name first, so an interrupted run never leaves
  // a half-made clip behind under the real name.
  std::string partial = testDataDir() + "/partial-" + std::to_string(getpid()) + "-" + name;
  std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + ffmpegArgs + " '" + partial + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
  fs::rename(partial, path);
  return path;
}

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string writeTestFile(const std::string& name, const std::string& bytes) {
  const std::string path = testDataDir() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

std::string freshTempDir() {
  // Removed, with all they hold, when the test process ends, however the
  // test went.
  static struct Made {
    std::vector<std::string> dirs;
    ~Made() {
      std::error_code ignored;
      for (const auto& dir : dirs) fs::remove_all(dir, ignored);
    }
  } made;
  std::string pattern = (fs::temp_directory_path() / "stillpick-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  made.dirs.push_back(pattern);
  return pattern;
}
