#include "support/clip_harness.h"

#include "app/fail.h"
#include "pipeline/sampling.h"
#include "pipeline/stream_facts.h"
#include "platform/clip_info.h"
#include "platform/frame_source.h"
#include "platform/media_input.h"

int exerciseClip(const std::string& path) {
  int decoded = 0;
  try {
    auto input = MediaInput::open(path);
    StreamFacts facts = streamFacts(readClipInfo(*input));
    auto source = openFrameSource(std::move(input));
    std::vector<double> times = sampleTimes(facts.duration);
    times.push_back(0.0);
    times.push_back(facts.duration / 2);
    times.push_back(facts.duration + 1.0);
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
