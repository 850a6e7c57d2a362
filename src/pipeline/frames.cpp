#include "pipeline/frames.h"

#include "app/fail.h"
#include "pipeline/stream_facts.h"
#include "platform/clip_info.h"
#include "platform/media_input.h"

Document frames(const RunSettings& settings) {
  auto input = MediaInput::open(settings.video);
  StreamFacts facts = streamFacts(readClipInfo(*input));
  (void)facts;
  throw Fail("the frame analysis is not built yet");
}
