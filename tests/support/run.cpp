#include "support/run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& extraEnv) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]), close(out[1]), close(err[0]), close(err[1]);
    int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    for (const auto& entry : extraEnv) {
      std::string key = entry.substr(0, entry.find('=') + 1);
      std::erase_if(env, [&](const std::string& e) { return e.rfind(key, 0) == 0; });
      env.push_back(entry);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  RunResult result;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[65536];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? result.out : result.err).append(buffer, got);
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

RunResult runStillpick(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  return runProgram(STILLPICK_BINARY, args, extraEnv);
}
