#pragma once
#include <cstdint>
#include <vector>

#include "base/image.h"
#include "video/display_matrix.h"
#include "video/av_handles.h"

// The display matrix reduced to one of the eight quarter turns and
// mirrorings: pixel (x, y) goes to (a·x + c·y, b·x + d·y), each entry -1, 0
// or 1, then moved back into the first quadrant.
struct Orientation {
  int a = 1, b = 0, c = 0, d = 1;
};

// The nearest quarter turn or mirroring of a display matrix.
Orientation orientationOf(const DisplayMatrix& matrix);

struct PictureSize {
  int width = 0;
  int height = 0;
};

// `width` x `height` scaled down, aspect kept, to fit within limit x limit
// (never enlarged); each side rounded half away from zero and at least 1.
PictureSize fitWithin(double width, double height, int limit);

// A packed RGB image turned by `orientation`; the image itself, moved, when
// nothing turns.
Image oriented(Image image, Orientation orientation);

// How the decoded pictures of one stream are shown.
struct DisplayGeometry {
  double pixelAspect = 1;  // width of one stored pixel over its height
  DisplayMatrix matrix;
  int limit = 720;  // longest side of a delivered picture
};

// Turns decoded frames into display-oriented, scaled-down 8-bit sRGB
// pictures: the stream's colour matrix and range are honoured (BT.709 for
// HD and BT.601 for SD when untagged), and PQ or HLG pictures are tone-mapped
// to SDR.
class FrameConverter {
 public:
  explicit FrameConverter(DisplayGeometry geometry);
  // Throws Fail when the picture cannot be converted.
  Picture convert(const AVFrame& frame);

 private:
  Image scaled(const AVFrame& frame, PictureSize size);
  Image toneMapped(const AVFrame& frame, PictureSize size);

  DisplayGeometry geometry_;
  Orientation orientation_;
  ScalerPtr scaler_;
  // The scaler's padded output, kept from frame to frame: a fresh buffer of
  // a megabyte or more for every frame costs more than the conversion.
  std::vector<uint8_t> scaledRows_;
};
