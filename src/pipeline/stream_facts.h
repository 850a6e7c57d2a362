#pragma once
#include <cstdint>

struct ClipInfo;

// The facts about a clip that the rest of the run uses.
struct StreamFacts {
  double duration = 0;  // seconds, finite and > 0
  int64_t width = 0;    // display width: the natural size turned by the display matrix
  int64_t height = 0;   // display height
  float fps = 0;        // nominal frame rate, as reported
};

// Checks the duration first, then the video track. Throws Fail "this file has
// no readable duration" or "this file has no video track".
StreamFacts streamFacts(const ClipInfo& info);
