#include "app/probe.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>

namespace {

std::string readFile(const char* path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of KEY= in an os-release text, with shell-style quotes removed.
std::string osReleaseValue(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(key + "=", 0) != 0) continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return "";
}

}  // namespace

std::string osVersionText(const std::string& osRelease, const std::string& kernelRelease) {
  std::string name = osReleaseValue(osRelease, "PRETTY_NAME");
  if (name.empty()) name = osReleaseValue(osRelease, "NAME");
  std::string kernel = kernelRelease.empty() ? "" : "Linux " + kernelRelease;
  if (name.empty()) return kernel.empty() ? "Linux" : kernel;
  return kernel.empty() ? name : name + ", " + kernel;
}

Document probe() {
  std::string osRelease = readFile("/etc/os-release");
  if (osRelease.empty()) osRelease = readFile("/usr/lib/os-release");
  utsname system{};
  std::string kernel = uname(&system) == 0 ? system.release : "";
  return Document{
      {"ok", true},
      {"os", osVersionText(osRelease, kernel)},
      {"frames", true},
      {"vision", true},
      {"local_model", false},
      {"local_multimodal", false},
      {"local_reason", "this build of macOS has no Foundation Models framework"},
  };
}
