// What a run does to its process: signals, a lost output line, memory
// running out, and the fixed selftest folder shared with other users.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/clips.h"
#include "app/probe.h"
#include "support/run.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

std::string clip() {
  return makeClip("process-hd.mp4", "-f lavfi -i testsrc2=size=1280x720:rate=30:duration=20 -c:v libx264 "
                                    "-preset ultrafast -g 250");
}

// Runs a shell command line with the stillpick binary as $0 and the clip as $1.
RunResult shell(const std::string& line, const std::vector<std::string>& env = {}) {
  return runProgram("/bin/sh", {"-c", line, STILLPICK_BINARY, clip()}, env);
}

TEST(Process, SignalsEndTheRunWithOneLineAndTheirStatus) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string out = freshTempDir();
    RunResult result = runProgram(STILLPICK_BINARY, {"frames", "--video", clip(), "--out", out, "--count", "30"}, {},
                                  [&](pid_t pid) {
                                    std::this_thread::sleep_for(700ms);
                                    kill(pid, signal);
                                  });
    EXPECT_EQ(result.out, "{\"error\":\"interrupted\",\"ok\":false}\n") << signal;
    EXPECT_EQ(result.status, 128 + signal);
    EXPECT_EQ(result.err, "");
    for (const auto& entry : fs::recursive_directory_iterator(out))
      EXPECT_FALSE(entry.path().filename().string().starts_with(".frame-")) << entry.path();
  }
}

TEST(Process, ALineThatCannotBeWrittenIsAFailure) {
  EXPECT_EQ(shell("exec \"$0\" probe >/dev/full").status, 1);
  EXPECT_EQ(shell("exec \"$0\" probe >&-").status, 1);
}

TEST(Process, EachFrameIsOnDiskBeforeItGetsItsName) {
  // Seen through the system calls: a flush before every rename, and one
  // (of the directory) after the last.
  if (runProgram("/usr/bin/strace", {"-o", "/dev/null", "/bin/true"}).status != 0) GTEST_SKIP() << "no strace here";
  const std::string out = freshTempDir(), log = out + "/calls";
  shell("exec strace -f -qq -e trace=fsync,rename,renameat,renameat2 -o " + log + " \"$0\" frames --video \"$1\" "
        "--count 3 --out " + out);
  std::ifstream calls(log);
  int renames = 0;
  bool flushed = false;
  for (std::string line; std::getline(calls, line);) {
    if (line.find("fsync(") != std::string::npos) flushed = true;
    if (line.find("rename") == std::string::npos || line.find("frame-") == std::string::npos) continue;
    EXPECT_TRUE(flushed) << line;
    flushed = false;
    ++renames;
  }
  EXPECT_EQ(renames, 3);
  EXPECT_TRUE(flushed) << "the directory was not flushed after the last frame";
}

TEST(Process, RunningOutOfMemoryIsReportedAsSuch) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
  const std::string out = freshTempDir();
  RunResult result = shell("ulimit -v 409600; exec \"$0\" frames --video \"$1\" --out " + out);
  EXPECT_EQ(result.out, "{\"error\":\"out of memory\",\"ok\":false}\n");
  EXPECT_EQ(result.status, 1);
}

TEST(Process, SelftestFolderIsNeverSomeoneElses) {
  const fs::path tmp = freshTempDir(), folder = tmp / "stillpick-selftest", elsewhere = tmp / "elsewhere";
  const std::vector<std::string> env = {"TMPDIR=" + tmp.string()};
  auto errorOf = [&] {
    Document document = Document::parse(runStillpick({"selftest", "--video", clip()}, env).out);
    return document.value("error", std::string());
  };
  fs::create_directory(elsewhere);
  fs::create_directory_symlink(elsewhere, folder);
  EXPECT_EQ(errorOf(), "cannot create " + folder.string() + ": it is a symbolic link");
  EXPECT_TRUE(fs::is_empty(elsewhere));
  fs::remove(folder);
  if (geteuid() == 0) {
    fs::create_directory(folder);
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_EQ(errorOf(), "cannot create " + folder.string() + ": it belongs to another user");
    fs::remove(folder);
  }
  // An earlier run's frames go; a run that holds the folder is waited for.
  fs::create_directory(folder);
  std::ofstream(folder / "frame-09.jpg") << "old";
  std::ofstream(folder / "notes.txt") << "mine";
  const int held = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  bool finishedEarly = true;
  // Its frames document is nested beside the probe, with 6 frames whatever
  // the command line says.
  RunResult result = runProgram(STILLPICK_BINARY, {"selftest", "--video", clip(), "--count", "2", "--out", "/nowhere"},
                                env, [&](pid_t pid) {
    std::this_thread::sleep_for(1500ms);
    finishedEarly = kill(pid, 0) != 0;
    close(held);
  });
  EXPECT_FALSE(finishedEarly);
  const Document document = Document::parse(result.out);
  EXPECT_EQ(std::tuple(document.size(), document["ok"], document["probe"], document["frames"]["frames"].size()),
            std::tuple(3u, true, probe(), 6u));
  EXPECT_FALSE(fs::exists(folder / "frame-09.jpg"));
  EXPECT_TRUE(fs::exists(folder / "frame-05.jpg") && fs::exists(folder / "notes.txt"));
}

}  // namespace
