#pragma once
#include <array>
#include <cstddef>
#include <exception>
#include <opencv2/core/utility.hpp>

// Calls work(which, i) for every i below `count`: the first half (rounded
// up) with `which` 0, the rest with `which` 1, the two halves side by side
// on OpenCV's threads. Inside OpenCV's parallel loop a network runs on its
// own thread alone, and small networks run faster two at a time, one on
// each core, than one after the other on both: each half gets a network of
// its own (`which`). The first failure of either half is rethrown here,
// once both have ended.
template <typename Work>
void inTwoHalves(size_t count, const Work& work) {
  const size_t half = (count + 1) / 2;
  std::array<std::exception_ptr, 2> failures;
  cv::parallel_for_(cv::Range(0, 2), [&](const cv::Range& range) {
    for (int which = range.start; which < range.end; ++which) {
      try {
        const size_t from = which == 0 ? 0 : half, to = which == 0 ? half : count;
        for (size_t i = from; i < to; ++i) work(size_t(which), i);
      } catch (...) {
        failures[size_t(which)] = std::current_exception();
      }
    }
  });
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}
