#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "motion/motion_sample.h"

class FrameSource;

// The whole-pixel shift (each axis -6 ... 6) that best lines up the 160 x 90
// grey buffer b with a over the fixed window of rows 6 ... 83 and columns
// 6 ... 153 of a, kept only when it lowers the mean difference to at most
// 0.9 of the unshifted one (else 0, 0); energy is the unshifted mean
// difference / 255. Buffers of another size give (0, 0, 0.0).
MotionSample bestShift(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// The second frame of the pair measured at t is the one at t + kPairInterval.
inline constexpr double kPairInterval = 0.12;

// The shifts of frame pairs (t, t + 0.12) for the first four times in `at`,
// skipping a time whose partner lies at or past `duration` and a time whose
// frames cannot be decoded or rendered.
std::vector<MotionSample> motionSamples(FrameSource& source, double duration, const std::vector<double>& at);

// The camera motion of the clip in words (describeMotion of motionSamples),
// or nothing when no pair could be measured.
std::optional<std::string> measureMotion(FrameSource& source, double duration, const std::vector<double>& at);
