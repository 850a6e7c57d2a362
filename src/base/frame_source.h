#pragma once
#include <vector>

#include "base/image.h"

// The failure of a clip whose reading time is used up.
inline constexpr const char* kOutOfTimeMessage = "the video could not be decoded in time";
// The failure of a clip none of whose frames decodes.
inline constexpr const char* kNothingDecodesMessage = "no frame of this file could be decoded";

// Exact-time frames of one clip's first video track: the picture on screen
// at the requested time, turned to display orientation and scaled down
// (aspect kept, never enlarged) to fit within 720 x 720.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Seconds from the start of the clip, taken on a 1/600 s grid. Throws Fail
  // when that time has no decodable frame; the source stays usable for other
  // times.
  virtual Picture frameAt(double seconds) = 0;
  // True once the clip's reading time is used up: no later request succeeds.
  virtual bool outOfTime() const { return false; }
  // Frees what decoding holds until the next request, which may then cost a
  // seek.
  virtual void rest() {}
  // The times about to be asked, in the order they will be: the source may
  // start decoding them ahead. Their answers are the ones asking alone would
  // give.
  virtual void expect(const std::vector<double>& times) { (void)times; }
};
