#pragma once

// How the picture moved between two frames 0.12 s apart, in pixels of their
// 160 x 90 grey renderings.
struct MotionSample {
  long dx = 0;        // -6 ... 6, positive when the content moved right
  long dy = 0;        // -6 ... 6, positive when the content moved down
  double energy = 0;  // mean absolute grey difference at zero shift, / 255
};
