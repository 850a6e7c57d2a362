#include "video/clip.h"

#include <cmath>
#include <cstring>
#include <limits>

extern "C" {
#include <libavformat/avformat.h>
}

#include "video/media_input.h"

namespace {

double clipDuration(const AVFormatContext* format) {
  if (format->duration != AV_NOPTS_VALUE) return static_cast<double>(format->duration) / AV_TIME_BASE;
  double longest = std::numeric_limits<double>::quiet_NaN();
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream* stream = format->streams[i];
    if (stream->duration == AV_NOPTS_VALUE) continue;
    double seconds = stream->duration * av_q2d(stream->time_base);
    if (!(seconds <= longest)) longest = seconds;
  }
  return longest;
}

float nominalFrameRate(const AVStream* stream) {
  AVRational rate = stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return 0.0f;
  return static_cast<float>(av_q2d(rate));
}

ClipInfo readClipInfo(const MediaInput& input) {
  const AVFormatContext* format = input.format();
  ClipInfo info;
  info.duration = clipDuration(format);
  if (input.videoStream() < 0) return info;

  const AVStream* stream = format->streams[input.videoStream()];
  VideoTrackInfo track;
  AVRational aspect = av_guess_sample_aspect_ratio(const_cast<AVFormatContext*>(format),
                                                   const_cast<AVStream*>(stream), nullptr);
  double pixelAspect = aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0;
  track.width = stream->codecpar->width * pixelAspect;
  track.height = stream->codecpar->height;
  size_t size = 0;
  const uint8_t* side = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (side && size >= 9 * sizeof(int32_t)) {
    int32_t matrix[9];
    std::memcpy(matrix, side, sizeof matrix);
    // 16.16 fixed point, row-major, applied to row vectors (x, y, 1).
    track.matrix = {matrix[0] / 65536.0, matrix[1] / 65536.0, matrix[3] / 65536.0, matrix[4] / 65536.0};
  }
  track.fps = nominalFrameRate(stream);
  info.track = track;
  return info;
}

}  // namespace

Clip::~Clip() = default;

std::unique_ptr<Clip> openClip(const std::string& path, std::chrono::milliseconds readingTime) {
  auto clip = std::make_unique<Clip>();
  clip->input = MediaInput::open(path, readingTime);
  clip->info = readClipInfo(*clip->input);
  return clip;
}
