#include "vision/two_halves.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace {

TEST(InTwoHalves, EveryIndexOnceTheFirstHalfRoundedUpWithTheFirstWorker) {
  for (size_t count : {0u, 1u, 2u, 5u, 15u}) {
    std::vector<int> worker(count, -1), calls(count, 0);
    inTwoHalves(count, [&](size_t which, size_t i) {
      worker[i] = int(which);
      ++calls[i];
    });
    for (size_t i = 0; i < count; ++i) {
      EXPECT_EQ(calls[i], 1) << count << " " << i;
      EXPECT_EQ(worker[i], i < (count + 1) / 2 ? 0 : 1) << count << " " << i;
    }
  }
}

TEST(InTwoHalves, AFailureIsRethrownOnceTheOtherHalfHasEnded) {
  for (size_t failing : {0u, 1u}) {
    std::atomic<int> done = 0;
    EXPECT_THROW(inTwoHalves(6, [&](size_t which, size_t) {
                   if (which == failing) throw std::runtime_error("no network");
                   ++done;
                 }),
                 std::runtime_error);
    EXPECT_EQ(done, 3) << "the half that did not fail ran to its end";
  }
}

}  // namespace
