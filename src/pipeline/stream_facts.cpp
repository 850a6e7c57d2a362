#include "pipeline/stream_facts.h"

#include <cmath>

#include "base/fail.h"
#include "video/clip.h"

namespace {

// A whole display length; one that cannot be held reads as 0.
int64_t wholePixels(double length) {
  if (!std::isfinite(length) || length >= 9.2e18) return 0;
  return static_cast<int64_t>(length);
}

}  // namespace

StreamFacts streamFacts(const ClipInfo& info) {
  if (!(std::isfinite(info.duration) && info.duration > 0)) throw Fail("this file has no readable duration");
  if (!info.track) throw Fail("this file has no video track");
  const VideoTrackInfo& track = *info.track;
  StreamFacts facts;
  facts.duration = info.duration;
  const DisplaySize shown = displaySize(track.matrix, track.width, track.height);
  facts.width = wholePixels(shown.width);
  facts.height = wholePixels(shown.height);
  facts.fps = track.fps;
  return facts;
}
