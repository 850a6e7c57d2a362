#include "pipeline/output_directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>

#include "base/fail.h"
#include "support/clips.h"
#include "support/failure.h"

namespace fs = std::filesystem;

namespace {

TEST(OutputDirectory, FreshNameBelowTheBase) {
  fs::path a = freshOutputDirectory(std::string("/x/y"));
  EXPECT_EQ(a.parent_path(), "/x/y");
  EXPECT_TRUE(std::regex_match(a.filename().string(), std::regex("stillpick-[0-9A-F]{8}"))) << a;
  EXPECT_NE(a, freshOutputDirectory(std::string("/x/y")));
  EXPECT_EQ(freshOutputDirectory(std::string("rel/dir")).parent_path(), fs::current_path() / "rel/dir");
  EXPECT_EQ(freshOutputDirectory(std::string("")).parent_path(), fs::current_path());
}

TEST(OutputDirectory, TemporaryDirectoryNeedsAnAbsoluteTmpdir) {
  const char* saved = std::getenv("TMPDIR");
  std::string keep = saved ? saved : "";
  setenv("TMPDIR", "/some/where", 1);
  EXPECT_EQ(temporaryDirectory(), "/some/where");
  EXPECT_EQ(freshOutputDirectory(std::nullopt).parent_path(), "/some/where");
  setenv("TMPDIR", "relative", 1);
  EXPECT_EQ(temporaryDirectory(), "/tmp");
  unsetenv("TMPDIR");
  EXPECT_EQ(temporaryDirectory(), "/tmp");
  if (saved) setenv("TMPDIR", keep.c_str(), 1);
}

TEST(OutputDirectory, CreationMakesParentsAndNeverReusesAnExistingName) {
  fs::path base = freshTempDir();
  const fs::path wanted = base / "a" / "b" / "stillpick-00000000";
  EXPECT_EQ(createOutputDirectory(wanted, true), wanted);
  EXPECT_TRUE(fs::is_directory(wanted));
  const fs::path clash = createOutputDirectory(wanted, true);  // the name exists now: another one is drawn
  EXPECT_EQ(clash.parent_path(), wanted.parent_path());
  EXPECT_TRUE(clash != wanted && fs::is_directory(clash)) << clash;
  const fs::path shared = base / "stillpick-selftest";
  createOutputDirectory(shared, false);
  EXPECT_EQ(createOutputDirectory(shared, false), shared);  // reused as it is
  std::ofstream(base / "file") << "x";
  EXPECT_THROW(createOutputDirectory(base / "file" / "stillpick-11111111", true), Fail);
  EXPECT_THROW(createOutputDirectory(base / "file", false), Fail);
  fs::remove_all(base);
}

TEST(OutputDirectory, UnwritableParentIsAnError) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write into read-only directories";
  fs::path base = freshTempDir();
  chmod(base.c_str(), 0555);
  const fs::path dir = base / "stillpick-22222222";
  EXPECT_EQ(failureOf([&] { createOutputDirectory(dir, true); }),
            "cannot create " + dir.string() + ": Permission denied");
  chmod(base.c_str(), 0755);
  fs::remove_all(base);
}

}  // namespace
