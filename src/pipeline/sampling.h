#pragma once
#include <vector>

#include "pipeline/frame_sample.h"

class FrameSource;
class Vision;

// The candidate times of a clip, ascending: round(duration / 1.2) of them
// (halves away from zero), held to 8 ... 30, spread evenly from a margin m to
// duration - m, where m is 2 % of the duration but at most 0.35 s.
std::vector<double> sampleTimes(double duration);

// Decodes and scores the frame at every sample time, in time order: its
// sharpness, its mean linear brightness (64 x 36 grey rendering) and its
// feature print. A time whose frame cannot be decoded is skipped, a failed
// print leaves the candidate without one. Throws Fail "no frame of this file
// could be decoded" when no time gave a frame.
std::vector<FrameSample> sampleCandidates(FrameSource& source, Vision& vision, double duration);

// Mean linear brightness of a picture, 0 (black) to 1 (white); 0.5 when the
// grey rendering yields nothing.
double meanLuminance(const Image& picture);
