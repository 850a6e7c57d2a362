#include "support/run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

// All that was written to the file, which is then closed.
std::string contents(FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(file);
  return text;
}

}  // namespace

void PrintTo(const RunResult& result, std::ostream* os) {
  *os << "status " << result.status << ", out \"" << result.out << "\", err \"" << result.err << "\"";
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& extraEnv, const std::function<void(pid_t)>& during) {
  // Through env(1), which sets the extra entries and then becomes the program.
  std::vector<char*> argv{const_cast<char*>("/usr/bin/env")};
  for (const auto& a : extraEnv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // Input from /dev/null; the output goes to unnamed temporary files, read
  // once the program has ended.
  FILE *out = std::tmpfile(), *err = std::tmpfile();
  if (!out || !err) throw std::runtime_error("cannot make temporary files");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fileno(out), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed) throw std::runtime_error("cannot start " + program);
  std::thread beside;
  if (during) beside = std::thread(during, pid);
  int status = 0;
  waitpid(pid, &status, 0);
  if (beside.joinable()) beside.join();
  return {contents(out), contents(err), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

RunResult runStillpick(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  return runProgram(STILLPICK_BINARY, args, extraEnv);
}

std::string withEscapedSlashes(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '/') out += '\\';
    out += c;
  }
  return out;
}
