#include "base/frame_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "video/clip.h"
#include "support/clips.h"
#include "support/failure.h"
#include "support/ramp.h"

namespace {

std::unique_ptr<FrameSource> sourceFor(const std::string& path) { return openFrameSource(openClip(path)); }

// Mean of one channel over the 7 x 7 pixels around (fx, fy), given as fractions of the picture.
double channelAt(const Picture& picture, double fx, double fy, int channel = 0) {
  const int cx = static_cast<int>(fx * picture->width), cy = static_cast<int>(fy * picture->height);
  double sum = 0;
  for (int y = cy - 3; y <= cy + 3; ++y)
    for (int x = cx - 3; x <= cx + 3; ++x) sum += picture->rgb[(size_t(y) * picture->width + x) * 3 + channel];
  return sum / 49;
}

double lumaAt(const Picture& picture, double fx, double fy) { return channelAt(picture, fx, fy) * 219 / 255 + 16; }

// 3 s at 30 fps, a key frame every second, B-frames (x264's default).
std::string constantRateClip() {
  return makeClip("ramp-cfr.mp4", lavfi("color=black:s=320x240:r=30:d=3," + kGreyRamp) + " -c:v libx264 -g 30 -qp 4");
}

// A copy of `clean` with 2 % of its bytes overwritten from the middle on.
std::string damagedCopy(const std::string& clean, const std::string& name) {
  std::string bytes = bytesOf(clean);
  bytes.replace(bytes.size() / 2, bytes.size() / 50, bytes.size() / 50, '\xa5');
  return writeTestFile(name, bytes);
}

TEST(FrameSource, EachTimeGivesTheFrameOnScreen) {
  auto even = [](int k) { return int64_t{k}; };
  // The clip; its number of frames and the start of frame k in 1/rate s; the
  // times asked: every walkStep ticks (1/600 s) up to walkTicks, then the
  // jumps; times from damagedFrom to damagedTo may fail.
  using Case = std::tuple<std::string, int, std::function<int64_t(int)>, int64_t, int, int, std::vector<double>,
                          double, double>;
  std::vector<Case> cases = {
      // Frame 10 starts at 200/600 s: 199.4 ticks round to 199, 199.5 to 200. -0.5 s is before the first frame.
      {constantRateClip(), 90, even, 30, 1800, 7,
       {199.4 / 600, 199.5 / 600, 200.0 / 600, 219.0 / 600, 220.0 / 600, 2.5, 0.1, 2.95, 1.0, 0.99, 0.999, 1.9, 0.0,
        2.2, 2.2, -0.5, 89.0 / 30, 2.999, 3.0, 1.5, 0.5}, 0, 0},
      // Steps of 40, 100 and 10 ms, repeating, in Matroska's 1 ms ticks.
      {makeClip("ramp-vfr.mkv",
                lavfi("color=black:s=320x240:r=30:d=2," + kGreyRamp +
                      ",settb=1/1000,setpts='(0.15*floor(N/3)+0.04*eq(mod(N,3),1)+0.14*eq(mod(N,3),2))/TB'") +
                    " -fps_mode passthrough -enc_time_base 1/1000 -c:v libx264 -g 12 -qp 4"),
       60, [](int n) { return 150 * (n / 3) + (n % 3 == 1 ? 40 : n % 3 == 2 ? 140 : 0); }, 1000, 1740, 5,
       {1.0, 0.04, 0.039, 0.14, 0.139, 2.5, 0.3}, 0, 0},
      // MPEG-TS: clock starting at 1.4 s, no index; the ramp repeats every 90 frames.
      {makeClip("ramp.ts", lavfi("color=black:s=160x120:r=30:d=12,format=yuv420p,"
                                 "geq=lum='20+2*mod(N\\,90)':cb=128:cr=128") + " -c:v libx264 -g 30 -qp 4"),
       360, even, 30, 0, 1, {0.0, 0.5, 1.51, 11.9, 11.96, 3.3, 7.0, 0.2, 11.0}, 0, 0},
      // Sound from 0 s, pictures from 0.5 s: earlier times give the first picture.
      {makeClip("late-video.mkv", "-f lavfi -i anullsrc=r=8000:cl=mono -itsoffset 0.5 " +
                                      lavfi("color=black:s=160x120:r=30:d=1," + kGreyRamp) +
                                      " -map 0:a -map 1:v -t 1.6 -c:a pcm_s16le -c:v libx264 -g 10 -qp 4"),
       30, [](int k) { return std::lround(500 + k * 1000.0 / 30); }, 1000, 0, 1, {0.0, 0.2, 0.5, 0.55, 1.0, 0.1, 1.45},
       0, 0},
      // AVI with B-frames keeps decode-order times only, which stamp every
      // frame one late; its first frame still shows at 0.
      {makeClip("ramp-bframes.avi", lavfi("color=black:s=160x120:r=10:d=3," + kGreyRamp) + " -c:v mpeg4 -bf 2 -q:v 2"),
       30, even, 10, 0, 1, {0.0, 0.05, 0.1, 0.2, 0.35, 1.0, 2.95}, 0, 0},
      // Noise spreads the bytes evenly over the 3 s, so the damage lies within the key frame interval 1 ... 2 s.
      {damagedCopy(makeClip("ramp-noisy.mp4", lavfi("color=black:s=320x240:r=30:d=3," + kGreyRamp +
                                                  ",noise=c0s=3:allf=t") + " -c:v libx264 -g 15 -crf 12"),
                   "ramp-damaged.mp4"),
       90, even, 30, 1794, 42, {0.5}, 1.0, 2.0},
      // Pictures of 50 MB (4K, 4:4:4 at 10 bits), decoded with the threads
      // sharing the slices of each picture, B-frames and all.
      {makeClip("ramp-4k-444.mkv", lavfi("color=black:s=3840x2160:r=10:d=1," + kGreyRamp + ",format=yuv444p10le") +
                                       " -c:v libx264 -preset ultrafast -bf 2 -qp 4"),
       10, even, 10, 0, 1, {0.0, 0.55, 0.15, 0.95, 0.5, 0.3}, 0, 0},
  };
  // Ten frames a second from 1 s on, in containers whose timeline starts at
  // 0: earlier times show the first frame, and the last second is not lost.
  for (const std::string container : {"mp4", "mkv"})
    cases.push_back({makeClip("ramp-offset." + container, lavfi("color=black:s=160x120:r=10:d=6," + kGreyRamp) +
                                                             " -c:v libx264 -g 10 -qp 4 -output_ts_offset 1"),
                     60, [](int k) { return int64_t{k} + 10; }, 10, 0, 1, {0.1, 0.99, 1.0, 1.55, 4.0, 6.95}, 0, 0});
  // Each clip is asked twice: time by time, and with all times announced
  // first, which lets them be decoded ahead by several decoders.
  for (bool announced : {false, true})
  for (const auto& [clip, frames, start, rate, walkTicks, walkStep, jumps, damagedFrom, damagedTo] : cases) {
    auto source = sourceFor(clip);
    std::vector<double> times;
    for (int ticks = 0; ticks < walkTicks; ticks += walkStep) times.push_back(ticks / 600.0);
    times.insert(times.end(), jumps.begin(), jumps.end());
    if (announced) source->expect(times);
    for (double t : times) {
      Picture picture;
      const std::string failure = failureOf([&] { picture = source->frameAt(t); });
      if (t >= damagedFrom && t < damagedTo) continue;
      ASSERT_TRUE(picture) << clip << " at " << t << ": " << failure;
      int shown = 0;  // the last frame started by t on the grid
      for (int k = 0; k < frames; ++k)
        if (start(k) * 600 <= std::llround(t * 600) * rate) shown = k;
      EXPECT_EQ(rampFrameNumber(picture), shown % 90) << clip << " at " << t << (announced ? ", announced" : "");
    }
  }
}

TEST(FrameSource, AnnouncedTimesMayBeSkippedOrAskedOutOfTurn) {
  // Decoded ahead by two decoders (an indexed MP4) or by the one (MPEG-TS,
  // no index); times outside the announcement are answered as well, and
  // times never asked are let go.
  const std::string ts = makeClip("ramp-announced.ts", lavfi("color=black:s=160x120:r=30:d=3," + kGreyRamp) +
                                                         " -c:v libx264 -g 30 -qp 4");
  for (const std::string& clip : {constantRateClip(), ts}) {
    auto source = sourceFor(clip);
    source->expect({0.5, 1.0, 1.5, 2.0, 2.5, 2.9});
    for (auto [t, frame] : {std::pair{2.0, 60}, {0.7, 21}, {1.0, 30}, {2.95, 88}, {0.5, 15}})
      EXPECT_EQ(rampFrameNumber(source->frameAt(t)), frame) << clip << " at " << t;
  }
}

// A copy of an MP4 file with the display matrix (linear part) in its first
// track header replaced, in 16.16 fixed point; the header is of version 0.
std::string withMatrix(const std::string& clip, const std::string& name, double a, double b, double c, double d) {
  std::string bytes = bytesOf(clip), matrix;
  for (double value : {a, b, 0.0, c, d, 0.0, 0.0, 0.0, 16384.0}) {
    const uint32_t v = static_cast<uint32_t>(static_cast<int32_t>(std::lround(value * 65536)));
    matrix += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  }
  bytes.replace(bytes.find("tkhd") + 44, matrix.size(), matrix);  // past times, ids, duration, layer, volume
  return writeTestFile("quadrants-" + name + ".mp4", bytes);
}

TEST(FrameSource, PicturesAreTurnedAndFitWithin720) {
  // Quadrants of luma 220 (top left), 160 (top right), 100 (bottom left), 40.
  auto quadrantClip = [](const std::string& name, const std::string& size, const std::string& more = "") {
    return makeClip(name, lavfi("color=black:s=" + size + ":r=30:d=0.1,format=yuv420p,geq=lum="
                                "'if(lt(Y,H/2),if(lt(X,W/2),220,160),if(lt(X,W/2),100,40))':cb=128:cr=128" + more) +
                              " -c:v libx264 -qp 4");
  };
  const std::string hd = quadrantClip("quadrants-1080.mp4", "1920x1080");
  const std::vector<long> upright = {220, 160, 100, 40};  // lumas top left, top right, bottom left, bottom right
  for (auto [path, width, height, quadrants] : std::vector<std::tuple<std::string, int, int, std::vector<long>>>{
           {withMatrix(hd, "upright", 1, 0, 0, 1), 720, 405, upright},
           // A camera held upright: a quarter turn clockwise, the top edge becomes the right edge.
           {withMatrix(hd, "clockwise", 0, 1, -1, 0), 405, 720, {100, 220, 40, 160}},
           {withMatrix(hd, "counterclockwise", 0, -1, 1, 0), 405, 720, {160, 40, 220, 100}},
           {withMatrix(hd, "half-turn", -1, 0, 0, -1), 720, 405, {40, 100, 160, 220}},
           {withMatrix(hd, "mirrored", -1, 0, 0, 1), 720, 405, {160, 220, 40, 100}},
           {withMatrix(hd, "transposed", 0, 1, 1, 0), 405, 720, {220, 100, 160, 40}},
           {withMatrix(hd, "nearly-clockwise", 0.1, 1.9, -1.9, 0.1), 357, 720, {100, 220, 40, 160}},  // sheared size
           {withMatrix(hd, "degenerate", 0, 0, 0, 0), 720, 405, upright},  // keeps the stored shape
           {quadrantClip("quadrants-small.mp4", "320x240"), 320, 240, upright},  // never enlarged
           // 720 x 480 with 32:27 pixels shows as 853 x 480.
           {quadrantClip("quadrants-sar.mp4", "720x480", ",setsar=32/27"), 720, 405, upright}}) {
    Picture picture = sourceFor(path)->frameAt(0);
    ASSERT_EQ(picture->rgb.size(), static_cast<size_t>(picture->width) * picture->height * 3) << path;
    std::vector<long> lumas;
    for (auto [fx, fy] : {std::pair{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}})
      lumas.push_back(std::lround(lumaAt(picture, fx, fy)));
    EXPECT_EQ(std::tuple(picture->width, picture->height, lumas), std::tuple(width, height, quadrants)) << path;
  }
}

TEST(FrameSource, ColourMatrixRangeBitDepthAndTransferAreHonoured) {
  // Mid grey on the left, sRGB (200, 100, 50) on the right. PQ is in BT.2020
  // with SDR white at 100 nits and comes back tone-mapped, hence its margins.
  auto x264 = [](const std::string& matrix, const std::string& range, const std::string& tags) {
    return "scale=out_color_matrix=" + matrix + ":out_range=" + range + ",format=yuv420p -c:v libx264 -qp 4 " + tags;
  };
  using Case = std::tuple<std::string, std::string, std::string, double, double>;  // name, size, encoding, margins
  for (auto [name, size, encoding, margin, redMargin] : std::vector<Case>{
           {"halves-601-tv.mp4", "320x240", x264("bt601", "tv", "-colorspace smpte170m -color_range tv"), 3, 3},
           {"halves-709-pc.mp4", "320x240", x264("bt709", "pc", "-colorspace bt709 -color_range pc"), 3, 3},
           // Untagged HD is BT.709.
           {"halves-hd-untagged.mp4", "1280x720", x264("bt709", "tv", ""), 3, 3},
           {"halves-10.mkv", "320x240", "format=yuv420p10le -c:v libx265 -x265-params log-level=none:lossless=1", 3, 3},
           {"halves-pq.mp4", "256x128",
            "format=gbrp,zscale=tin=iec61966-2-1:min=gbr:pin=709:rin=full:t=smpte2084:m=2020_ncl:p=2020:r=tv:npl=100,"
            "format=yuv420p10le -c:v libx265 -x265-params "
            "log-level=none:colorprim=bt2020:transfer=smpte2084:colormatrix=bt2020nc",
            12, 20}}) {
    Picture picture = sourceFor(makeClip(name, "-f lavfi -i color=c=0x808080:s=" + size + ":r=30:d=0.2,drawbox="
                                               "x=iw/2:y=0:w=iw/2:h=ih:c=0xC86432:t=fill," + encoding))
                          ->frameAt(0);
    const double orange[3] = {200, 100, 50};
    for (int channel = 0; channel < 3; ++channel) {
      EXPECT_NEAR(channelAt(picture, 0.25, 0.5, channel), 128, margin) << name << " channel " << channel;
      EXPECT_NEAR(channelAt(picture, 0.75, 0.5, channel), orange[channel], channel ? margin : redMargin)
          << name << " channel " << channel;
    }
  }
}

TEST(FrameSource, PicturesUpTo16384AcrossAreRead) {
  const std::string widest = makeClip("widest.avi", lavfi("color=gray:s=16384x16:r=10:d=0.2") + " -c:v mjpeg");
  Picture picture = sourceFor(widest)->frameAt(0);
  EXPECT_EQ(std::tuple(picture->width, picture->height), std::tuple(720, 1));
  const std::string tooWide = makeClip("too-wide.avi", lavfi("color=gray:s=16400x16:r=10:d=0.2") + " -c:v mjpeg");
  EXPECT_EQ(failureOf([&] { sourceFor(tooWide); }), "the video picture is too large");
}

}  // namespace
