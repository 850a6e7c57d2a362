#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "base/frame_source.h"
#include "video/display_matrix.h"

// What the container says about a clip's first video track.
struct VideoTrackInfo {
  double width = 0;   // encoded picture width, widened by a non-square pixel aspect
  double height = 0;  // encoded picture height
  DisplayMatrix matrix;
  float fps = 0;  // nominal frame rate
};

struct ClipInfo {
  double duration = 0;  // seconds; not-a-number when the container gives none
  std::optional<VideoTrackInfo> track;
};

// How long all reading of one clip may take, from opening to the last frame:
// a file crafted to loop or stream forever runs out of it.
inline constexpr std::chrono::seconds kReadingTime{300};

class MediaInput;

// One clip file opened for reading, with what its container says.
struct Clip {
  ClipInfo info;
  std::unique_ptr<MediaInput> input;
  ~Clip();
};

// Opens the file at `path` as a local file (never a URL or a protocol
// string) and reads its facts. Throws Fail ("cannot open PATH: reason",
// "cannot read PATH: reason", "the video could not be decoded in time").
std::unique_ptr<Clip> openClip(const std::string& path, std::chrono::milliseconds readingTime = kReadingTime);

// Exact-time frames of the clip's first video stream. Throws Fail when the
// clip has no video track, its picture is too large or it has no decoder.
std::unique_ptr<FrameSource> openFrameSource(std::unique_ptr<Clip> clip);
