#include "imaging/pixels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

// One tap of a resampling filter along one axis.
struct Tap {
  int source;
  float weight;
};

// For every destination position along an axis, the source positions that
// make it and their weights (which add up to 1). Shrinking averages the
// source pixels that the destination pixel covers, weighted by how much of
// each it covers; enlarging interpolates linearly between pixel centres.
struct AxisFilter {
  std::vector<int> first;  // index into taps of each destination position's first tap
  std::vector<Tap> taps;
};

AxisFilter axisFilter(int sourceSize, int destSize) {
  AxisFilter filter;
  filter.first.reserve(static_cast<size_t>(destSize) + 1);
  const double scale = static_cast<double>(sourceSize) / destSize;
  for (int d = 0; d < destSize; ++d) {
    filter.first.push_back(static_cast<int>(filter.taps.size()));
    if (scale >= 1.0) {
      const double begin = d * scale;
      const double end = std::min((d + 1) * scale, static_cast<double>(sourceSize));
      for (int s = static_cast<int>(begin); s < end && s < sourceSize; ++s) {
        const double covered = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
        if (covered > 0) filter.taps.push_back({s, static_cast<float>(covered / scale)});
      }
    } else {
      const double centre = std::clamp((d + 0.5) * scale - 0.5, 0.0, sourceSize - 1.0);
      const int left = static_cast<int>(centre);
      const int right = std::min(left + 1, sourceSize - 1);
      const float fraction = static_cast<float>(centre - left);
      filter.taps.push_back({left, 1.0f - fraction});
      if (fraction > 0) filter.taps.push_back({right, fraction});
    }
  }
  filter.first.push_back(static_cast<int>(filter.taps.size()));
  return filter;
}

// Linear light of an sRGB component value, weighted for its share of the
// luminance (Rec. 709 primaries): table[c][v] for component c and value v.
using LuminanceTable = std::array<std::array<float, 256>, 3>;

LuminanceTable luminanceTable() {
  const double weights[3] = {0.2126, 0.7152, 0.0722};
  LuminanceTable table;
  for (int v = 0; v < 256; ++v) {
    const double encoded = v / 255.0;
    const double linear =
        encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
    for (int c = 0; c < 3; ++c) table[c][v] = static_cast<float>(weights[c] * linear);
  }
  return table;
}

}  // namespace

std::optional<std::vector<uint8_t>> pixels(const Image& picture, long width, long height) {
  if (width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0) return std::nullopt;
  const size_t sourceWidth = static_cast<size_t>(picture.width);
  const size_t sourceHeight = static_cast<size_t>(picture.height);
  if (picture.rgb.size() != sourceWidth * sourceHeight * 3) return std::nullopt;
  // Callers ask for small fixed sizes; absurd ones are refused rather than
  // allowed to overflow the buffer size.
  if (width > (1L << 16) || height > (1L << 16)) return std::nullopt;

  static const LuminanceTable luminance = luminanceTable();
  const AxisFilter across = axisFilter(picture.width, static_cast<int>(width));
  const AxisFilter down = axisFilter(picture.height, static_cast<int>(height));
  const size_t destWidth = static_cast<size_t>(width);

  // Rows are first resampled across, in linear light, into `narrow`; the
  // columns of `narrow` are then resampled down.
  std::vector<float> row(sourceWidth);
  std::vector<float> narrow(sourceHeight * destWidth);
  for (size_t y = 0; y < sourceHeight; ++y) {
    const uint8_t* rgb = picture.rgb.data() + y * sourceWidth * 3;
    for (size_t x = 0; x < sourceWidth; ++x, rgb += 3)
      row[x] = luminance[0][rgb[0]] + luminance[1][rgb[1]] + luminance[2][rgb[2]];
    float* out = narrow.data() + y * destWidth;
    for (size_t d = 0; d < destWidth; ++d) {
      float sum = 0;
      for (int t = across.first[d]; t < across.first[d + 1]; ++t)
        sum += across.taps[t].weight * row[across.taps[t].source];
      out[d] = sum;
    }
  }

  std::vector<uint8_t> grey(destWidth * static_cast<size_t>(height));
  std::vector<float> sum(destWidth);
  for (long d = 0; d < height; ++d) {
    std::fill(sum.begin(), sum.end(), 0.0f);
    for (int t = down.first[d]; t < down.first[d + 1]; ++t) {
      const float weight = down.taps[t].weight;
      const float* in = narrow.data() + static_cast<size_t>(down.taps[t].source) * destWidth;
      for (size_t x = 0; x < destWidth; ++x) sum[x] += weight * in[x];
    }
    uint8_t* out = grey.data() + static_cast<size_t>(d) * destWidth;
    for (size_t x = 0; x < destWidth; ++x)
      out[x] = static_cast<uint8_t>(std::clamp(std::lround(sum[x] * 255.0f), 0L, 255L));
  }
  return grey;
}
