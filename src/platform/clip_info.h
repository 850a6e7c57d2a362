#pragma once
#include <optional>

class MediaInput;

// What the container says about the clip's first video track.
struct VideoTrackInfo {
  double width = 0;   // encoded picture width, widened by a non-square pixel aspect
  double height = 0;  // encoded picture height
  // Linear part of the display matrix: (x, y) -> (a·x + c·y, b·x + d·y).
  double a = 1, b = 0, c = 0, d = 1;
  float fps = 0;  // nominal frame rate
};

struct ClipInfo {
  double duration = 0;  // seconds; not-a-number when the container gives none
  std::optional<VideoTrackInfo> track;
};

ClipInfo readClipInfo(const MediaInput& input);
