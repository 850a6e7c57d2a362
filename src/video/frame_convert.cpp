#include "video/frame_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
}

#include "base/fail.h"
#include "video/picture_limit.h"

namespace {

int signOf(double value) { return value < 0 ? -1 : 1; }

bool swapsSides(Orientation orientation) { return orientation.a == 0; }

bool isFullRange(const AVFrame& frame) {
  if (frame.color_range == AVCOL_RANGE_JPEG) return true;
  switch (frame.format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
      return true;
    default:
      return false;
  }
}

// The YUV to RGB matrix: the tagged one, else BT.709 for HD pictures and
// BT.601 for SD ones.
int colourMatrix(const AVFrame& frame) {
  switch (frame.colorspace) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
      return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
      return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return SWS_CS_BT2020;
    default:
      return frame.width >= 1280 || frame.height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

bool isHighDynamicRange(const AVFrame& frame) {
  return frame.color_trc == AVCOL_TRC_SMPTE2084 || frame.color_trc == AVCOL_TRC_ARIB_STD_B67;
}

// Copies rows of packed RGB out of a padded buffer.
Image packed(const uint8_t* data, int stride, int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgb.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    std::memcpy(image.rgb.data() + static_cast<size_t>(y) * width * 3, data + static_cast<ptrdiff_t>(y) * stride,
                static_cast<size_t>(width) * 3);
  return image;
}

struct InOutFree {
  void operator()(AVFilterInOut* inOut) const { avfilter_inout_free(&inOut); }
};
using InOutPtr = std::unique_ptr<AVFilterInOut, InOutFree>;

}  // namespace

Orientation orientationOf(const DisplayMatrix& m) {
  if (std::fabs(m.a) + std::fabs(m.d) >= std::fabs(m.b) + std::fabs(m.c)) return {signOf(m.a), 0, 0, signOf(m.d)};
  return {0, signOf(m.b), signOf(m.c), 0};
}

PictureSize fitWithin(double width, double height, int limit) {
  double longest = std::max(width, height);
  double scale = longest > limit ? limit / longest : 1.0;
  auto side = [&](double length) {
    double rounded = std::round(length * scale);
    return static_cast<int>(std::clamp(rounded, 1.0, static_cast<double>(limit)));
  };
  return {side(width), side(height)};
}

Image oriented(Image image, Orientation o) {
  if (o.a == 1 && o.d == 1) return image;
  Image turned;
  turned.width = std::abs(o.a) * image.width + std::abs(o.c) * image.height;
  turned.height = std::abs(o.b) * image.width + std::abs(o.d) * image.height;
  turned.rgb.resize(image.rgb.size());
  // Pixel centres are turned, then moved so the smallest corner lands on 0.
  const int originX = std::min(0, o.a * image.width) + std::min(0, o.c * image.height);
  const int originY = std::min(0, o.b * image.width) + std::min(0, o.d * image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      // Twice the centre coordinates keep the arithmetic in integers.
      int tx = (o.a * (2 * x + 1) + o.c * (2 * y + 1) - 2 * originX - 1) / 2;
      int ty = (o.b * (2 * x + 1) + o.d * (2 * y + 1) - 2 * originY - 1) / 2;
      const uint8_t* from = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
      uint8_t* to = &turned.rgb[(static_cast<size_t>(ty) * turned.width + tx) * 3];
      to[0] = from[0], to[1] = from[1], to[2] = from[2];
    }
  }
  return turned;
}

FrameConverter::FrameConverter(DisplayGeometry geometry)
    : geometry_(geometry), orientation_(orientationOf(geometry.matrix)) {}

Picture FrameConverter::convert(const AVFrame& frame) {
  if (frame.width <= 0 || frame.height <= 0 || frame.width > kMaxPictureSide || frame.height > kMaxPictureSide)
    throw Fail("the decoded picture has an unusable size");
  const double width = frame.width * geometry_.pixelAspect;
  const double height = frame.height;
  DisplaySize display = displaySize(geometry_.matrix, width, height);
  if (!(display.width >= 1 && display.height >= 1 && std::isfinite(display.width) && std::isfinite(display.height))) {
    // A degenerate matrix: fall back to the stored picture's own shape.
    display = {std::max(1.0, std::round(width)), height};
  }
  PictureSize shown = fitWithin(display.width, display.height, geometry_.limit);
  // The size before turning: sides swap under a quarter turn.
  PictureSize stored = swapsSides(orientation_) ? PictureSize{shown.height, shown.width} : shown;
  Image image;
  if (isHighDynamicRange(frame)) {
    try {
      image = toneMapped(frame, stored);
    } catch (const Fail&) {
      image = scaled(frame, stored);  // a picture without tone mapping beats none
    }
  } else {
    image = scaled(frame, stored);
  }
  return std::make_shared<const Image>(oriented(std::move(image), orientation_));
}

Image FrameConverter::scaled(const AVFrame& frame, PictureSize size) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  constexpr int kFlags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP;
  scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height, format, size.width, size.height,
                                     AV_PIX_FMT_RGB24, kFlags, nullptr, nullptr, nullptr));
  if (!scaler_) throw Fail("the decoded picture format cannot be converted");
  const int* table = sws_getCoefficients(colourMatrix(frame));
  sws_setColorspaceDetails(scaler_.get(), table, isFullRange(frame) ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                           0, 1 << 16, 1 << 16);
  // Rows padded to 64 bytes, with slack, so vector code may write whole blocks.
  const int stride = (size.width * 3 + 63) / 64 * 64;
  scaledRows_.resize(static_cast<size_t>(stride) * size.height + 64);
  uint8_t* planes[4] = {scaledRows_.data(), nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  int rows = sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
  if (rows != size.height) throw Fail("the decoded picture could not be converted");
  return packed(scaledRows_.data(), stride, size.width, size.height);
}

// PQ and HLG pictures go through linear light: scaled, turned to BT.709
// primaries, their highlights rolled off (mobius keeps the range up to
// diffuse white nearly linear) and encoded as sRGB.
Image FrameConverter::toneMapped(const AVFrame& frame, PictureSize size) {
  GraphPtr graph(avfilter_graph_alloc());
  if (!graph) throw std::bad_alloc();
  graph->nb_threads = 1;
  const std::string sourceArgs = "video_size=" + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                                 ":pix_fmt=" + std::to_string(frame.format) + ":time_base=1/1:pixel_aspect=1/1";
  AVFilterContext* source = nullptr;
  AVFilterContext* sink = nullptr;
  if (avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", sourceArgs.c_str(), nullptr,
                                   graph.get()) < 0 ||
      avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                   graph.get()) < 0)
    throw Fail("the tone mapping filters are not available");

  InOutPtr outputs(avfilter_inout_alloc());
  InOutPtr inputs(avfilter_inout_alloc());
  if (!outputs || !inputs) throw std::bad_alloc();
  outputs->name = av_strdup("in");
  outputs->filter_ctx = source;
  inputs->name = av_strdup("out");
  inputs->filter_ctx = sink;
  const std::string chain = "zscale=w=" + std::to_string(size.width) + ":h=" + std::to_string(size.height) +
                            ":f=bicubic:t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=mobius:desat=0,"
                            "zscale=t=iec61966-2-1:m=gbr:r=full,format=rgb24";
  AVFilterInOut* in = inputs.release();
  AVFilterInOut* out = outputs.release();
  int status = avfilter_graph_parse_ptr(graph.get(), chain.c_str(), &in, &out, nullptr);
  inputs.reset(in);
  outputs.reset(out);
  if (status < 0 || avfilter_graph_config(graph.get(), nullptr) < 0)
    throw Fail("the tone mapping filters are not available");

  FramePtr input(av_frame_clone(&frame));
  if (!input) throw std::bad_alloc();
  // Untagged primaries and matrix of a PQ or HLG picture are BT.2020's.
  if (input->color_primaries == AVCOL_PRI_UNSPECIFIED) input->color_primaries = AVCOL_PRI_BT2020;
  if (input->colorspace == AVCOL_SPC_UNSPECIFIED) input->colorspace = AVCOL_SPC_BT2020_NCL;
  if (input->color_range == AVCOL_RANGE_UNSPECIFIED) input->color_range = AVCOL_RANGE_MPEG;
  input->pts = 0;
  FramePtr result(av_frame_alloc());
  if (!result) throw std::bad_alloc();
  if (av_buffersrc_add_frame(source, input.get()) < 0 || av_buffersrc_add_frame(source, nullptr) < 0 ||
      av_buffersink_get_frame(sink, result.get()) < 0)
    throw Fail("the picture could not be tone-mapped");
  if (result->format != AV_PIX_FMT_RGB24 || result->width != size.width || result->height != size.height)
    throw Fail("the picture could not be tone-mapped");
  return packed(result->data[0], result->linesize[0], size.width, size.height);
}
