#include <gtest/gtest.h>

#include <thread>

#include "app/fail.h"
#include "platform/frame_source.h"
#include "platform/media_input.h"
#include "support/clips.h"

namespace {

using namespace std::chrono_literals;

std::string shortClip() {
  return makeClip("limits-short.mp4",
                  "-f lavfi -i testsrc2=size=320x180:rate=25:duration=2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p");
}

TEST(ReadingTime, NoTimeLeftFailsTheOpen) {
  try {
    MediaInput::open(shortClip(), 0ms);
    ADD_FAILURE() << "opened without reading time";
  } catch (const Fail& fail) {
    EXPECT_EQ(fail.message, "the video could not be decoded in time");
  }
}

TEST(ReadingTime, UsedUpTimeFailsEveryLaterFrame) {
  std::unique_ptr<MediaInput> input;
  std::chrono::milliseconds limit = 200ms;
  while (!input) {  // a loaded machine may need longer just to open
    try {
      input = MediaInput::open(shortClip(), limit);
    } catch (const Fail&) {
      ASSERT_LT(limit, 60s);
      limit *= 4;
    }
  }
  auto source = openFrameSource(std::move(input));
  std::this_thread::sleep_for(limit);
  try {
    source->frameAt(1.5);
    ADD_FAILURE() << "decoded after the reading time";
  } catch (const Fail& fail) {
    EXPECT_EQ(fail.message, "the video could not be decoded in time");
  }
  EXPECT_TRUE(source->outOfTime());
}

}  // namespace
