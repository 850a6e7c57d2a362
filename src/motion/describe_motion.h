#pragma once
#include <string>
#include <vector>

#include "motion/motion_sample.h"

// The camera motion of a list of pair measurements (1 to 4 of them) as one
// of eight fixed phrases: locked off, moving left/right/up/down, or
// undirected movement at three levels of frame difference. An empty list
// counts as no movement at all.
std::string describeMotion(const std::vector<MotionSample>& samples);
