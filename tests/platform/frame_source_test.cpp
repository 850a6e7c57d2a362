#include "platform/frame_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "app/fail.h"
#include "platform/media_input.h"
#include "support/clips.h"

namespace {

// Each frame of the test clips is one flat grey: luma 20 + 2·n for frame n.
const std::string kGreyRamp = "format=yuv420p,geq=lum='20+2*N':cb=128:cr=128";

// ffmpeg input arguments for a lavfi graph, quoted for the shell so that the
// graph's own quotes reach ffmpeg.
std::string lavfi(const std::string& graph) { return "-f lavfi -i \"" + graph + "\""; }

std::unique_ptr<FrameSource> sourceFor(const std::string& path) { return openFrameSource(MediaInput::open(path)); }

// Mean of one channel over a small box around (x, y), as fractions of the picture.
double channelAt(const Image& image, double fx, double fy, int channel = 0) {
  int cx = static_cast<int>(fx * image.width), cy = static_cast<int>(fy * image.height);
  double sum = 0;
  int count = 0;
  for (int y = std::max(0, cy - 3); y <= std::min(image.height - 1, cy + 3); ++y)
    for (int x = std::max(0, cx - 3); x <= std::min(image.width - 1, cx + 3); ++x, ++count)
      sum += image.rgb[(static_cast<size_t>(y) * image.width + x) * 3 + channel];
  return sum / count;
}

// The frame number carried by a picture of the grey ramp.
int frameNumber(const Picture& picture) {
  double luma = channelAt(*picture, 0.5, 0.5) * 219.0 / 255.0 + 16.0;
  return static_cast<int>(std::lround((luma - 20.0) / 2.0));
}

// The frame on screen at `seconds` (taken on the 1/600 s grid), given each
// frame's start as a count of 1/`rate` seconds; the first frame when the time
// precedes all of them.
int frameOnScreen(const std::vector<int64_t>& starts, int64_t rate, double seconds) {
  int64_t ticks = std::llround(seconds * 600);
  int shown = 0;
  for (size_t k = 0; k < starts.size(); ++k)
    if (starts[k] * 600 <= ticks * rate) shown = static_cast<int>(k);
  return shown;
}

std::vector<int64_t> evenStarts(int count, int64_t step, int64_t offset = 0) {
  std::vector<int64_t> starts;
  for (int k = 0; k < count; ++k) starts.push_back(offset + k * step);
  return starts;
}

std::string failureAt(FrameSource& source, double seconds) {
  try {
    source.frameAt(seconds);
  } catch (const Fail& fail) {
    return fail.message;
  }
  return "";
}

// 3 s at 30 fps, a key frame every second, B-frames (x264's default).
std::string constantRateClip() {
  return makeClip("ramp-cfr.mp4", lavfi("color=black:s=320x240:r=30:d=3," + kGreyRamp) +
                                      " -c:v libx264 -g 30 -qp 4");
}

void expectFrames(FrameSource& source, const std::vector<int64_t>& starts, int64_t rate,
                  const std::vector<double>& times) {
  for (double t : times) {
    Picture picture = source.frameAt(t);
    ASSERT_TRUE(picture);
    EXPECT_EQ(frameNumber(picture), frameOnScreen(starts, rate, t)) << "at " << t << " s";
  }
}

TEST(FrameSource, EveryGridTimeInOrderGivesTheFrameOnScreen) {
  auto source = sourceFor(constantRateClip());
  const auto starts = evenStarts(90, 1);
  std::vector<double> times;
  // Every 1/600 s step near frame boundaries, and a walk through the clip.
  for (int ticks = 0; ticks < 1800; ticks += 7) times.push_back(ticks / 600.0);
  expectFrames(*source, starts, 30, times);
}

TEST(FrameSource, BoundariesOfTheGrid) {
  auto source = sourceFor(constantRateClip());
  const auto starts = evenStarts(90, 1);
  // Frame 10 starts at exactly 1/3 s = 200/600: 199.4 ticks rounds down to 199,
  // 199.5 rounds up to 200.
  expectFrames(*source, starts, 30, {0.0, 199.4 / 600, 199.5 / 600, 200.0 / 600, 219.0 / 600, 220.0 / 600});
  EXPECT_EQ(frameNumber(source->frameAt(199.4 / 600)), 9);
  EXPECT_EQ(frameNumber(source->frameAt(199.5 / 600)), 10);
}

TEST(FrameSource, JumpsBackwardsAndForwards) {
  auto source = sourceFor(constantRateClip());
  const auto starts = evenStarts(90, 1);
  expectFrames(*source, starts, 30, {2.5, 0.1, 2.95, 1.0, 0.99, 0.999, 1.9, 0.0, 2.2, 2.2, 1.5, 0.5});
}

TEST(FrameSource, FirstAndLastFramesAndTheEnd) {
  auto source = sourceFor(constantRateClip());
  EXPECT_EQ(frameNumber(source->frameAt(0)), 0);
  EXPECT_EQ(frameNumber(source->frameAt(-0.5)), 0);        // before the first frame
  EXPECT_EQ(frameNumber(source->frameAt(89.0 / 30)), 89);   // the last frame's start
  EXPECT_EQ(frameNumber(source->frameAt(2.999)), 89);
  EXPECT_EQ(frameNumber(source->frameAt(3.0)), 89);          // exactly the duration
  EXPECT_EQ(failureAt(*source, 3.01), "the requested time lies past the end of the clip");
  EXPECT_EQ(failureAt(*source, 1e300), "the requested time is out of range");
  EXPECT_NE(failureAt(*source, std::nan("")), "");
  // Still usable after the failures, also backwards.
  EXPECT_EQ(frameNumber(source->frameAt(1.5)), 45);
  EXPECT_EQ(frameNumber(source->frameAt(0.2)), 6);
}

TEST(FrameSource, VariableFrameRateFollowsPresentationTimes) {
  // Steps of 40, 100 and 10 ms, repeating; stored in Matroska (1 ms ticks).
  const std::string path = makeClip(
      "ramp-vfr.mkv", lavfi("color=black:s=320x240:r=30:d=2," + kGreyRamp +
                          ",settb=1/1000,setpts='(0.15*floor(N/3)+0.04*eq(mod(N,3),1)+0.14*eq(mod(N,3),2))/TB'") +
                          " -fps_mode passthrough -enc_time_base 1/1000 -c:v libx264 -g 12 -qp 4");
  std::vector<int64_t> starts;
  for (int n = 0; n < 60; ++n) starts.push_back(150 * (n / 3) + (n % 3 == 1 ? 40 : n % 3 == 2 ? 140 : 0));
  auto source = sourceFor(path);
  std::vector<double> times;
  for (int ticks = 0; ticks < 600 * 2.9; ticks += 5) times.push_back(ticks / 600.0);
  expectFrames(*source, starts, 1000, times);
  expectFrames(*source, starts, 1000, {1.0, 0.04, 0.039, 0.14, 0.139, 2.5, 0.3});
}

TEST(FrameSource, TransportStreamWithoutIndexSeeksExactly) {
  // MPEG-TS starts its clock at 1.4 s and has no index; the ramp repeats
  // every 90 frames so that 12 s fit in the grey levels.
  const std::string path = makeClip(
      "ramp.ts", lavfi("color=black:s=160x120:r=30:d=12,format=yuv420p,geq=lum='20+2*mod(N\\,90)':cb=128:cr=128") +
                     " -c:v libx264 -g 30 -qp 4");
  auto source = sourceFor(path);
  for (double t : {0.0, 0.5, 1.51, 11.9, 11.96, 3.3, 7.0, 0.2, 11.0}) {
    int expected = static_cast<int>(std::llround(t * 600) / 20 % 90);
    EXPECT_EQ(frameNumber(source->frameAt(t)), expected) << "at " << t;
  }
}

TEST(FrameSource, TimesBeforeTheVideoStartsGiveTheFirstFrame) {
  // Sound from 0 s, pictures from 0.5 s.
  const std::string path =
      makeClip("late-video.mkv", "-f lavfi -i anullsrc=r=8000:cl=mono -itsoffset 0.5 -f lavfi -i color=black:s="
                                 "160x120:r=30:d=1," + kGreyRamp + " -map 0:a -map 1:v -t 1.6 -c:a pcm_s16le -c:v "
                                 "libx264 -g 10 -qp 4");
  std::vector<int64_t> starts;
  for (int k = 0; k < 30; ++k) starts.push_back(static_cast<int64_t>(std::lround(500 + k * 1000.0 / 30)));
  auto source = sourceFor(path);
  expectFrames(*source, starts, 1000, {0.0, 0.2, 0.5, 0.55, 1.0, 0.1, 1.45});
  EXPECT_EQ(frameNumber(source->frameAt(0.2)), 0);
}

TEST(FrameSource, SizesFitWithin720) {
  struct Case {
    std::string name, args;
    int width, height;
  };
  const std::vector<Case> cases = {
      {"hd.mp4", "-f lavfi -i color=gray:s=1920x1080:r=30:d=0.2 -c:v libx264", 720, 405},
      {"portrait.mp4", "-i " + testDataDir() + "/hd.mp4 -c copy -metadata:s:v:0 rotate=90", 405, 720},
      {"small.mp4", "-f lavfi -i color=gray:s=320x240:r=30:d=0.2 -c:v libx264", 320, 240},
      // 720 x 480 with 32:27 pixels shows as 853 x 480.
      {"anamorphic.mp4", "-f lavfi -i color=gray:s=720x480:r=30:d=0.2,setsar=32/27 -c:v libx264", 720, 405},
  };
  for (const Case& c : cases) {
    Picture picture = sourceFor(makeClip(c.name, c.args))->frameAt(0.1);
    EXPECT_EQ(picture->width, c.width) << c.name;
    EXPECT_EQ(picture->height, c.height) << c.name;
    EXPECT_EQ(picture->rgb.size(), static_cast<size_t>(c.width) * c.height * 3) << c.name;
  }
}

// Quadrants of different grey: top left 220, top right 160, bottom left 100,
// bottom right 40 (luma).
std::string quadrantClip() {
  return makeClip("quadrants.mp4",
                  lavfi("color=black:s=640x360:r=30:d=0.3,format=yuv420p,"
                        "geq=lum='if(lt(Y,H/2),if(lt(X,W/2),220,160),if(lt(X,W/2),100,40))':cb=128:cr=128") +
                      " -c:v libx264 -qp 4");
}

// The quadrant greys read at the four corners: top left, top right, bottom left, bottom right.
std::vector<int> quadrants(const Picture& picture) {
  std::vector<int> lumas;
  for (auto [fx, fy] : {std::pair{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}})
    lumas.push_back(static_cast<int>(std::lround(channelAt(*picture, fx, fy) * 219.0 / 255.0 + 16.0)));
  return lumas;
}

// Rewrites the linear part of the first track's matrix in an MP4 file.
void setTrackMatrix(const std::string& path, int32_t a, int32_t b, int32_t c, int32_t d, int32_t tx, int32_t ty) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  size_t box = bytes.find("tkhd");
  ASSERT_NE(box, std::string::npos);
  ASSERT_EQ(bytes[box + 4], 0);  // version 0 layout
  auto put = [&](size_t at, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    char raw[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    file.seekp(static_cast<std::streamoff>(at));
    file.write(raw, 4);
  };
  const size_t matrix = box + 4 + 4 + 20 + 8 + 8;  // after version, times, ids, duration, reserved, layer...
  put(matrix + 0, a);
  put(matrix + 4, b);
  put(matrix + 12, c);
  put(matrix + 16, d);
  put(matrix + 24, tx);
  put(matrix + 28, ty);
}

TEST(FrameSource, DisplayOrientationTurnsAndMirrorsThePicture) {
  const std::string plain = quadrantClip();
  EXPECT_EQ(quadrants(sourceFor(plain)->frameAt(0)), (std::vector<int>{220, 160, 100, 40}));

  struct Case {
    std::string name;
    int32_t a, b, c, d, tx, ty;  // 16.16 fixed point; tx, ty in pixels
    int width, height;
    std::vector<int> quadrants;
  };
  const int32_t one = 0x10000;
  const std::vector<Case> cases = {
      // A camera held upright: a quarter turn clockwise, the top edge becomes the right edge.
      {"clockwise", 0, one, -one, 0, 360, 0, 360, 640, {100, 220, 40, 160}},
      {"counterclockwise", 0, -one, one, 0, 0, 640, 360, 640, {160, 40, 220, 100}},
      {"half-turn", -one, 0, 0, -one, 640, 360, 640, 360, {40, 100, 160, 220}},
      {"mirrored", -one, 0, 0, one, 640, 0, 640, 360, {160, 220, 40, 100}},
      {"upside-down-mirrored", one, 0, 0, -one, 0, 360, 640, 360, {100, 40, 220, 160}},
  };
  for (const Case& c : cases) {
    const std::string path = testDataDir() + "/quadrants-" + c.name + ".mp4";
    std::filesystem::copy_file(plain, path, std::filesystem::copy_options::overwrite_existing);
    setTrackMatrix(path, c.a, c.b, c.c, c.d, c.tx * one, c.ty * one);
    Picture picture = sourceFor(path)->frameAt(0);
    EXPECT_EQ(picture->width, c.width) << c.name;
    EXPECT_EQ(picture->height, c.height) << c.name;
    EXPECT_EQ(quadrants(picture), c.quadrants) << c.name;
  }

  // ffmpeg's rotate tag writes the counterclockwise matrix; its own
  // player shows the same picture.
  Picture tagged = sourceFor(makeClip("quadrants-90.mp4", "-i " + plain + " -c copy -metadata:s:v:0 rotate=90"))
                       ->frameAt(0);
  EXPECT_EQ(tagged->width, 360);
  EXPECT_EQ(tagged->height, 640);
  EXPECT_EQ(quadrants(tagged), (std::vector<int>{160, 40, 220, 100}));
}

TEST(FrameSource, ColourMatrixAndRangeAreHonoured) {
  struct Case {
    std::string name, size, filter, tags;
  };
  // One flat colour, sRGB (200, 100, 50), encoded with each matrix and range.
  const std::vector<Case> cases = {
      {"colour-601-tv.mp4", "320x240", "out_color_matrix=bt601:out_range=tv", "-colorspace smpte170m -color_range tv"},
      {"colour-709-tv.mp4", "320x240", "out_color_matrix=bt709:out_range=tv", "-colorspace bt709 -color_range tv"},
      {"colour-709-pc.mp4", "320x240", "out_color_matrix=bt709:out_range=pc", "-colorspace bt709 -color_range pc"},
      {"colour-601-pc.mp4", "320x240", "out_color_matrix=bt601:out_range=pc", "-colorspace smpte170m -color_range pc"},
      // Untagged: BT.601 for SD, BT.709 for HD.
      {"colour-sd-untagged.mp4", "640x480", "out_color_matrix=bt601:out_range=tv", ""},
      {"colour-hd-untagged.mp4", "1280x720", "out_color_matrix=bt709:out_range=tv", ""},
  };
  for (const Case& c : cases) {
    const std::string path =
        makeClip(c.name, "-f lavfi -i color=c=0xC86432:s=" + c.size + ":r=30:d=0.2,scale=" + c.filter +
                             ",format=yuv420p -c:v libx264 -qp 4 " + c.tags);
    Picture picture = sourceFor(path)->frameAt(0);
    EXPECT_NEAR(channelAt(*picture, 0.5, 0.5, 0), 200, 3) << c.name;
    EXPECT_NEAR(channelAt(*picture, 0.5, 0.5, 1), 100, 3) << c.name;
    EXPECT_NEAR(channelAt(*picture, 0.5, 0.5, 2), 50, 3) << c.name;
  }
}

TEST(FrameSource, TenBitPicturesConvert) {
  const std::string path = makeClip("colour-10bit.mkv",
                                    "-f lavfi -i color=c=0xC86432:s=320x240:r=30:d=0.2,format=yuv420p10le "
                                    "-c:v libx265 -x265-params log-level=none:lossless=1");
  Picture picture = sourceFor(path)->frameAt(0);
  EXPECT_NEAR(channelAt(*picture, 0.5, 0.5, 0), 200, 3);
  EXPECT_NEAR(channelAt(*picture, 0.5, 0.5, 1), 100, 3);
  EXPECT_NEAR(channelAt(*picture, 0.5, 0.5, 2), 50, 3);
}

TEST(FrameSource, HighDynamicRangeIsToneMappedToSdr) {
  // Mid grey on the left, sRGB (200, 100, 50) on the right, converted to
  // BT.2020 HLG or PQ with SDR white at 100 nits and stored in 10 bits.
  for (std::string transfer : {"arib-std-b67", "smpte2084"}) {
    const std::string path = makeClip(
        "hdr-" + transfer + ".mp4",
        "-f lavfi -i color=c=0x808080:s=256x128:r=30:d=0.2,drawbox=x=128:y=0:w=128:h=128:c=0xC86432:t=fill,"
        "format=gbrp,zscale=tin=iec61966-2-1:min=gbr:pin=709:rin=full:t=" + transfer +
            ":m=2020_ncl:p=2020:r=tv:npl=100,format=yuv420p10le -c:v libx265 -x265-params "
            "log-level=none:colorprim=bt2020:transfer=" + transfer + ":colormatrix=bt2020nc");
    Picture picture = sourceFor(path)->frameAt(0);
    for (int channel = 0; channel < 3; ++channel)
      EXPECT_NEAR(channelAt(*picture, 0.25, 0.5, channel), 128, 12) << transfer;
    EXPECT_NEAR(channelAt(*picture, 0.75, 0.5, 0), 200, 20) << transfer;
    EXPECT_NEAR(channelAt(*picture, 0.75, 0.5, 1), 100, 12) << transfer;
    EXPECT_NEAR(channelAt(*picture, 0.75, 0.5, 2), 50, 12) << transfer;
  }
}

TEST(FrameSource, DamagedStretchCostsOnlyTheTimesInsideIt) {
  // 3 s with a key frame every half second and noise, so that the bytes
  // spread evenly over time; 2 % of the file is overwritten in its middle,
  // which lies within the key frame interval 1 ... 2 s.
  const std::string clean =
      makeClip("ramp-noisy.mp4", lavfi("color=black:s=320x240:r=30:d=3," + kGreyRamp + ",noise=c0s=3:allf=t") +
                                     " -c:v libx264 -g 15 -crf 12");
  const std::string damaged = testDataDir() + "/ramp-damaged.mp4";
  std::filesystem::copy_file(clean, damaged, std::filesystem::copy_options::overwrite_existing);
  {
    auto size = std::filesystem::file_size(damaged);
    std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size / 2));
    std::string junk(size / 50, '\xa5');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  const auto starts = evenStarts(90, 1);
  auto source = sourceFor(damaged);
  std::vector<double> times;
  for (double t = 0; t < 2.99; t += 0.07) times.push_back(t);
  int failed = 0;
  for (double t : times) {
    Picture picture;
    try {
      picture = source->frameAt(t);
    } catch (const Fail&) {
      ++failed;
    }
    if (t < 1.0 || t >= 2.0) {
      ASSERT_TRUE(picture) << "at " << t;
      EXPECT_EQ(frameNumber(picture), frameOnScreen(starts, 30, t)) << "at " << t;
    }
  }
  // Backwards into the clean start after the damage.
  EXPECT_EQ(frameNumber(source->frameAt(0.5)), 15);
  EXPECT_LT(failed, static_cast<int>(times.size()) / 2);
}

TEST(FrameSource, RefusesPicturesWiderThan16384) {
  const std::string widest = makeClip("widest.avi", lavfi("color=gray:s=16384x16:r=10:d=0.2") + " -c:v mjpeg");
  Picture picture = sourceFor(widest)->frameAt(0);
  EXPECT_EQ(picture->width, 720);
  EXPECT_EQ(picture->height, 1);
  const std::string tooWide = makeClip("too-wide.avi", lavfi("color=gray:s=16400x16:r=10:d=0.2") + " -c:v mjpeg");
  try {
    sourceFor(tooWide);
    FAIL() << "opened a picture 16400 pixels wide";
  } catch (const Fail& fail) {
    EXPECT_EQ(fail.message, "the video picture is too large");
  }
}

TEST(FrameSource, RefusesFilesWithoutVideo) {
  const std::string path = makeClip("sound-only.wav", "-f lavfi -i anullsrc=r=8000:cl=mono -t 0.5");
  try {
    sourceFor(path);
    FAIL() << "opened a file without video";
  } catch (const Fail& fail) {
    EXPECT_EQ(fail.message, "this file has no video track");
  }
}

}  // namespace
