#pragma once
#include <sys/types.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Result of running a program to completion.
struct RunResult {
  std::string out, err;
  int status = -1;  // exit status, or -1 when it did not exit normally
  bool operator==(const RunResult&) const = default;
};

// How a failed comparison shows a result.
void PrintTo(const RunResult& result, std::ostream* os);

// Runs the program with the given arguments (argv[0] is the program itself),
// with optional extra environment entries such as "TMPDIR=/x". `during`,
// when given, runs beside the program, on a thread of its own, with its
// process id.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& extraEnv = {}, const std::function<void(pid_t)>& during = {});

// `text` as a document writes it inside a string: every "/" as "\/".
std::string withEscapedSlashes(const std::string& text);

// Runs the stillpick binary built beside the tests.
RunResult runStillpick(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {});
