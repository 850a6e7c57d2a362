#include "pipeline/stream_facts.h"

#include <cmath>

#include "app/fail.h"
#include "platform/clip_info.h"

namespace {

// |value| rounded half away from zero; a size that cannot be held reads as 0.
int64_t displayLength(double value) {
  double rounded = std::round(std::fabs(value));
  if (!std::isfinite(rounded) || rounded >= 9.2e18) return 0;
  return static_cast<int64_t>(rounded);
}

}  // namespace

StreamFacts streamFacts(const ClipInfo& info) {
  if (!(std::isfinite(info.duration) && info.duration > 0)) throw Fail("this file has no readable duration");
  if (!info.track) throw Fail("this file has no video track");
  const VideoTrackInfo& track = *info.track;
  StreamFacts facts;
  facts.duration = info.duration;
  facts.width = displayLength(track.a * track.width + track.c * track.height);
  facts.height = displayLength(track.b * track.width + track.d * track.height);
  facts.fps = track.fps;
  return facts;
}
