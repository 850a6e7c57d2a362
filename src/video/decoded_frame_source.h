#pragma once
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <optional>

#include "base/frame_source.h"
#include "video/av_handles.h"
#include "video/clip.h"

struct AVFormatContext;
struct AVStream;
struct AVIndexEntry;
class FrameConverter;
class MediaInput;

// Decodes the first video stream of a clip in presentation-time order and
// keeps its place between requests: a later time is reached by decoding
// forward, unless a key frame at or before it lies beyond the current
// position, in which case seeking there is cheaper.
class DecodedFrameSource final : public FrameSource {
 public:
  // `decoderThreads` decode frames in parallel within the one stream.
  DecodedFrameSource(std::unique_ptr<MediaInput> input, const ClipInfo& info, int decoderThreads);
  ~DecodedFrameSource() override;
  Picture frameAt(double seconds) override;
  bool outOfTime() const override;
  void rest() override;

  // From the next request on, decodes with this many threads.
  void useDecoderThreads(int threads);
  // A second source over the same open file, with a reader and a
  // single-threaded decoder of its own and the same reading deadline.
  std::unique_ptr<DecodedFrameSource> twin() const;
  // The clip time of the key frame at or before `seconds` by the
  // container's index: times with the same one lie in one group of pictures.
  // None when the clip has no index.
  std::optional<double> keyFrameBefore(double seconds) const;
  // Stored pixels of one picture.
  int64_t pictureArea() const;

 private:
  static constexpr int64_t kNone = AV_NOPTS_VALUE;
  enum class Outcome { Found, TooLate, Missing };

  Picture pictureAt(double seconds);
  void openDecoder();
  int64_t targetFor(double seconds) const;
  FramePtr locate(int64_t target);
  bool canContinueTo(int64_t target) const;
  bool worthSeeking(int64_t target) const;
  const AVIndexEntry* keyEntryBefore(int64_t target) const;
  void seekTo(int64_t timestamp);
  void seekToStart();
  void resetDecoder();
  bool readPacket();
  bool sendNextPacket(int64_t target);
  bool skippable(const AVPacket& packet, int64_t target) const;
  Outcome decodeTo(int64_t target, FramePtr& found);
  int64_t shownUntil(const AVFrame& last) const;
  bool shownPast(const AVFrame& frame, int64_t target) const;
  int64_t firstDecodedTime();

  std::unique_ptr<MediaInput> input_;
  ClipInfo info_;
  int decoderThreads_ = 1;
  AVFormatContext* format_ = nullptr;
  AVStream* stream_ = nullptr;
  int streamIndex_ = -1;
  CodecPtr codec_;
  PacketPtr packet_;
  FramePtr scratch_;
  std::unique_ptr<FrameConverter> converter_;
  double duration_ = std::numeric_limits<double>::quiet_NaN();
  int64_t origin_ = 0;        // stream time of the clip's start
  int64_t firstPts_ = kNone;  // presentation time of the first frame
  int64_t startTs_ = kNone;   // earliest time stamp of the first packet
  int64_t keyDelay_ = 0;      // how much later than decoded a key frame is shown

  // Where the decoder stands.
  std::deque<PacketPtr> lookahead_;
  std::deque<int64_t> sentPts_;
  FramePtr current_;             // the last frame the decoder gave out
  bool positioned_ = false;      // fed in order since a seek or the start
  bool atStart_ = false;         // ... and that was the start of the stream
  bool draining_ = false;        // end of packets told to the decoder
  bool drained_ = false;         // the decoder has given out its last frame
  bool demuxEnded_ = false;
  bool budgetSpent_ = false;
  int64_t outputs_ = 0;          // frames given out since positioning
  int64_t lastSentDts_ = kNone;
  int64_t maxSentPts_ = kNone;
  int64_t firstReadTs_ = kNone;  // earliest stamp of the first packet after a seek
  int64_t budget_ = 0;  // packets this request may still read

  // The picture delivered last, on screen from lastPts_ until before lastUntil_.
  Picture lastPicture_;
  int64_t lastPts_ = 0;
  int64_t lastUntil_ = 0;
};

