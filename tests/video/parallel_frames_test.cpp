#include "video/parallel_frames.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Exact answers with times announced are pinned by the frame source's time
// tables; this is how the times are shared out.
TEST(SplitByGroup, RunsOfOneGroupGoWholeLongestFirstToTheLeastBusyDecoder) {
  using Parts = std::vector<std::vector<double>>;
  // Groups of pictures 2 s long; none known from 10 s on.
  auto twoSeconds = [](double t) { return t < 10 ? std::optional(2 * std::floor(t / 2)) : std::nullopt; };
  struct Case {
    std::vector<double> times;
    int decoders;
    Parts parts;
  };
  const Case cases[] = {
      // Works 0.2, 0.5, 0.2 and 1.9: the longest to the first, then all to the second.
      {{0.1, 0.2, 2.5, 4.1, 4.2, 7.9}, 2, {{7.9}, {0.1, 0.2, 2.5, 4.1, 4.2}}},
      {{1.5, 2.25, 4.25, 6.25}, 2, {{1.5}, {2.25, 4.25, 6.25}}},
      {{0.5, 2.5, 4.5, 6.5}, 3, {{0.5, 6.5}, {2.5}, {4.5}}},  // ties go to the first
      {{0.5, 2.25}, 4, {{0.5}, {2.25}}},          // no more decoders than runs
      {{0.1, 3.0, 0.2}, 2, {{3.0}, {0.1, 0.2}}},  // a group met again starts a run of its own
      {{0.1, 0.5, 1.9}, 2, {}},                   // one group: nothing to share
      {{0.1, 2.1}, 1, {}},
      {{0.1, 2.1, 10.5}, 2, {}},  // a group not known
      {{}, 2, {}},
  };
  for (const auto& [times, decoders, parts] : cases)
    EXPECT_EQ(splitByGroup(times, twoSeconds, decoders), parts) << testing::PrintToString(times);
}

}  // namespace
