#include "support/clip_harness.h"

#include "base/fail.h"
#include "pipeline/sampling.h"
#include "pipeline/stream_facts.h"
#include "video/clip.h"

int exerciseClip(const std::string& path) {
  int decoded = 0;
  try {
    auto clip = openClip(path);
    StreamFacts facts = streamFacts(clip->info);
    auto source = openFrameSource(std::move(clip));
    std::vector<double> times = sampleTimes(facts.duration);
    times.insert(times.end(), {0.0, facts.duration / 2, facts.duration + 1.0});
    source->expect(times);  // decoded ahead, as a frames run does
    for (double t : times) {
      try {
        Picture picture = source->frameAt(t);
        if (picture && picture->width > 0 && picture->height > 0 &&
            picture->rgb.size() == static_cast<size_t>(picture->width) * picture->height * 3)
          ++decoded;
        else
          throw std::logic_error("malformed picture");
      } catch (const Fail&) {
      }
    }
  } catch (const Fail&) {
  }
  return decoded;
}
