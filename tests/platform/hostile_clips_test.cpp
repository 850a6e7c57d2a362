#include <gtest/gtest.h>

#include <filesystem>

#include "support/clip_harness.h"

namespace fs = std::filesystem;

namespace {

// Every input the fuzzer ever found a fault with stays here and must keep
// ending in a clean failure or real frames.
TEST(HostileClips, SavedFuzzFindingsEndCleanly) {
  fs::path dir = fs::path(STILLPICK_SOURCE_DIR) / "tests" / "data" / "fuzz-regressions";
  int inputs = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename() == "README") continue;
    ++inputs;
    EXPECT_NO_THROW(exerciseClip(entry.path().string())) << entry.path();
  }
  RecordProperty("inputs", inputs);
}

}  // namespace
