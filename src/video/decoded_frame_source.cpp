#include "video/decoded_frame_source.h"

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include "base/fail.h"
#include "video/av_handles.h"
#include "video/clip.h"
#include "video/frame_convert.h"
#include "video/media_input.h"
#include "video/memory_check.h"
#include "video/picture_limit.h"

namespace {

constexpr int kTicksPerSecond = 600;
// Packets read ahead of the decoder, so that a frame later in presentation
// order is known before an earlier one is sent.
constexpr size_t kLookahead = 8;
constexpr size_t kSentHistory = 32;
// Packets one request may read, and failed reads in a row taken as the end.
constexpr int64_t kPacketBudget = 250000;
constexpr int kReadErrorsInARow = 32;
constexpr int kDecodeErrorsInARow = 32;
// Seeks for one request: back off further each time the landing point was
// still too late; the last one starts over from the beginning.
constexpr int kSeekAttempts = 5;
// Without a key frame index, a request this far ahead seeks instead of
// decoding forward.
constexpr int kBlindSeekSeconds = 10;

constexpr int64_t kNone = AV_NOPTS_VALUE;

// Decoding on frame threads keeps one picture more in flight for each
// thread, on top of the pictures the stream itself holds for reference and
// reordering. Beyond 4K (one 4:4:4 picture at 8 bits is 25 MB there;
// 8192 x 4320 in 4:2:0 is 53 MB, in 4:4:4 or at 10 bits twice that) the
// threads share the slices of one picture instead: a little slower where a
// picture has a single slice, some hundred megabytes less at the peak.
constexpr int64_t kLargestFrameThreadedPicture = 32 << 20;

// FFmpeg's failure `status`: memory running out ends the run, anything else
// is a Fail with `message`.
[[noreturn]] void failUnlessMemory(int status, const char* message) {
  throwIfMemoryIsShort(status);
  throw Fail(message);
}

int64_t earlierOf(int64_t x, int64_t y) {
  if (x == kNone) return y;
  if (y == kNone) return x;
  return std::min(x, y);
}

int64_t laterOf(int64_t x, int64_t y) {
  if (x == kNone) return y;
  if (y == kNone) return x;
  return std::max(x, y);
}

// The bytes one decoded picture of the stream takes, or 0 when its pixel
// format is not known before decoding.
int64_t pictureBytes(const AVCodecParameters& parameters) {
  const int bytes = av_image_get_buffer_size(static_cast<AVPixelFormat>(parameters.format), parameters.width,
                                             parameters.height, 1);
  return bytes > 0 ? bytes : 0;
}

int64_t presentationTime(const AVFrame& frame) { return frame.best_effort_timestamp; }

// Where the clip's time 0 lies on the stream's clock. QuickTime/MP4 and
// Matroska files keep a timeline of their own that starts at 0, whenever
// their first frame comes (their duration is measured from there); streams
// such as MPEG-TS carry a running clock, and their clip starts with the
// first time stamp.
int64_t clipStart(const AVFormatContext& format, const AVStream& stream) {
  const std::string name = format.iformat ? format.iformat->name : "";
  if (name.starts_with("mov,") || name.starts_with("matroska")) return 0;
  if (format.start_time != kNone) return av_rescale_q(format.start_time, AV_TIME_BASE_Q, stream.time_base);
  return stream.start_time != kNone ? stream.start_time : 0;
}

FramePtr referenceTo(const AVFrame& frame) {
  FramePtr copy(av_frame_clone(&frame));
  if (!copy) throw std::bad_alloc();
  return copy;
}

}  // namespace

DecodedFrameSource::DecodedFrameSource(std::unique_ptr<MediaInput> input, const ClipInfo& info, int decoderThreads)
    : input_(std::move(input)), info_(info), decoderThreads_(decoderThreads), budget_(kPacketBudget) {
  format_ = input_->format();
  streamIndex_ = input_->videoStream();
  if (streamIndex_ < 0) throw Fail("this file has no video track");
  stream_ = format_->streams[streamIndex_];
  const AVCodecParameters* parameters = stream_->codecpar;
  if (parameters->width > kMaxPictureSide || parameters->height > kMaxPictureSide ||
      int64_t{parameters->width} * parameters->height > kMaxPictureArea)
    throw Fail("the video picture is too large");
  packet_.reset(av_packet_alloc());
  scratch_.reset(av_frame_alloc());
  if (!packet_ || !scratch_) throw std::bad_alloc();
  openDecoder();

  // Packets of the other streams are not even read.
  for (unsigned i = 0; i < format_->nb_streams; ++i)
    if (static_cast<int>(i) != streamIndex_) format_->streams[i]->discard = AVDISCARD_ALL;

  duration_ = info.duration;
  DisplayGeometry geometry;
  if (info.track) {
    geometry.matrix = info.track->matrix;
    if (parameters->width > 0) geometry.pixelAspect = info.track->width / parameters->width;
  }
  converter_ = std::make_unique<FrameConverter>(geometry);
  origin_ = clipStart(*format_, *stream_);

  // The demuxer still stands at the start: read the first packets to learn
  // when the first frame is shown.
  positioned_ = true;
  atStart_ = true;
  while (lookahead_.size() < kLookahead && readPacket()) {
  }
  for (const PacketPtr& packet : lookahead_) firstPts_ = earlierOf(firstPts_, packet->pts);
  startTs_ = firstReadTs_;
  // Index entries may be stamped with decode times; a key frame is shown
  // this much later (the reordering delay of B-frames, seen on the first
  // one). Seeking itself goes by the time shown. A hostile file may stamp
  // the two far apart: a difference that does not fit is no delay.
  int64_t delay = 0;
  if (firstPts_ != kNone && startTs_ != kNone && !__builtin_sub_overflow(firstPts_, startTs_, &delay))
    keyDelay_ = std::max<int64_t>(0, delay);
  // AVI keeps times in decode order only: with B-frames its first frame is
  // stamped a frame late, and every later one with it. Its clip starts
  // with its first frame, whatever that is stamped.
  const bool decodeOrderOnly = std::any_of(lookahead_.begin(), lookahead_.end(),
                                           [](const PacketPtr& packet) { return packet->pts == kNone; });
  if (decodeOrderOnly && std::string_view(format_->iformat->name) == "avi") {
    if (const int64_t first = firstDecodedTime(); first != kNone) origin_ = firstPts_ = first;
    try {
      seekToStart();
    } catch (const Fail&) {
      positioned_ = false;  // the next request seeks for itself
    }
  }
}

DecodedFrameSource::~DecodedFrameSource() = default;

bool DecodedFrameSource::outOfTime() const { return input_->outOfTime(); }

void DecodedFrameSource::useDecoderThreads(int threads) {
  if (threads == decoderThreads_) return;
  decoderThreads_ = threads;
  if (!codec_) return;
  resetDecoder();
  codec_.reset();  // opened again, so, at the next request
}

std::unique_ptr<DecodedFrameSource> DecodedFrameSource::twin() const {
  return std::make_unique<DecodedFrameSource>(input_->reopen(), info_, 1);
}

std::optional<double> DecodedFrameSource::keyFrameBefore(double seconds) const {
  int64_t target = 0;
  try {
    target = targetFor(seconds);
  } catch (const Fail&) {
    return std::nullopt;
  }
  // A wrong answer costs only speed: every source decodes exactly.
  const AVIndexEntry* key = keyEntryBefore(target);
  if (!key) return std::nullopt;
  // In doubles: a hostile index may stamp its entries anywhere.
  return (static_cast<double>(key->timestamp) - static_cast<double>(origin_)) * av_q2d(stream_->time_base);
}

// Index entries may be stamped with decode times, so the lookup allows for
// the key frames' reordering delay.
const AVIndexEntry* DecodedFrameSource::keyEntryBefore(int64_t target) const {
  int64_t shown = 0;
  if (__builtin_sub_overflow(target, keyDelay_, &shown)) shown = std::numeric_limits<int64_t>::min();
  const int index = av_index_search_timestamp(stream_, shown, AVSEEK_FLAG_BACKWARD);
  return index >= 0 ? avformat_index_get_entry(stream_, index) : nullptr;
}

int64_t DecodedFrameSource::pictureArea() const {
  return int64_t{stream_->codecpar->width} * stream_->codecpar->height;
}

int64_t DecodedFrameSource::targetFor(double seconds) const {
  double ticks = std::round(seconds * kTicksPerSecond);
  if (!std::isfinite(ticks) || std::fabs(ticks) > 1e15) throw Fail("the requested time is out of range");
  if (std::isfinite(duration_) && ticks / kTicksPerSecond > duration_ + 1e-9)
    throw Fail("the requested time lies past the end of the clip");
  const AVRational base = stream_->time_base;
  // The last stream time not after the requested one.
  int64_t target = origin_ + av_rescale_rnd(static_cast<int64_t>(ticks), base.den,
                                            int64_t{kTicksPerSecond} * base.num, AV_ROUND_DOWN);
  if (firstPts_ != kNone && target < firstPts_) target = firstPts_;
  return target;
}

Picture DecodedFrameSource::frameAt(double seconds) {
  if (outOfTime()) throw Fail(kOutOfTimeMessage);
  try {
    return pictureAt(seconds);
  } catch (const Fail&) {
    if (outOfTime()) throw Fail(kOutOfTimeMessage);
    throw;
  }
}

void DecodedFrameSource::openDecoder() {
  const AVCodecParameters* parameters = stream_->codecpar;
  // A stream that no decoder reads is a clip none of whose frames decodes.
  const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
  if (!decoder) throw Fail(kNothingDecodesMessage);
  codec_.reset(avcodec_alloc_context3(decoder));
  if (!codec_) throw std::bad_alloc();
  if (avcodec_parameters_to_context(codec_.get(), parameters) < 0) throw Fail(kNothingDecodesMessage);
  codec_->pkt_timebase = stream_->time_base;
  codec_->thread_count = decoderThreads_;
  codec_->thread_type = pictureBytes(*parameters) > kLargestFrameThreadedPicture
                            ? FF_THREAD_SLICE
                            : FF_THREAD_FRAME | FF_THREAD_SLICE;
  codec_->max_pixels = kMaxPictureArea;
  const int status = avcodec_open2(codec_.get(), decoder, nullptr);
  if (status < 0) {
    codec_.reset();
    failUnlessMemory(status, kNothingDecodesMessage);
  }
}

// The decoder's reference frames and buffer pool are the largest thing the
// source holds (about a hundred megabytes at 4K); between passes they go.
// Frame-sized blocks live in the heap, not in mappings of their own, so the
// freed pages are handed back to the system explicitly: otherwise the models
// loaded next grow the peak on top of them.
void DecodedFrameSource::rest() {
  if (codec_) {
    resetDecoder();
    codec_.reset();
  }
  malloc_trim(0);
}

Picture DecodedFrameSource::pictureAt(double seconds) {
  const int64_t target = targetFor(seconds);
  if (!codec_) openDecoder();
  if (lastPicture_ && lastPts_ <= target && target < lastUntil_) return lastPicture_;
  budget_ = kPacketBudget;
  budgetSpent_ = false;
  FramePtr found = locate(target);
  if ((found->flags & AV_FRAME_FLAG_CORRUPT) || found->decode_error_flags)
    throw Fail("the frame at this time is damaged");
  Picture picture = converter_->convert(*found);
  lastPicture_ = picture;
  lastPts_ = presentationTime(*found);
  if (drained_)
    lastUntil_ = shownUntil(*found);
  else if (current_ && presentationTime(*current_) > lastPts_)
    lastUntil_ = presentationTime(*current_);
  else if (shownPast(*found, target))
    lastUntil_ = target + 1;
  else
    lastUntil_ = lastPts_ + 1;
  return picture;
}

FramePtr DecodedFrameSource::locate(int64_t target) {
  FramePtr found;
  if (canContinueTo(target) && !worthSeeking(target)) {
    Outcome outcome = decodeTo(target, found);
    if (outcome == Outcome::Found) return found;
    if (outcome == Outcome::Missing) {
      positioned_ = false;
      throw Fail("no frame could be decoded at this time");
    }
  }
  int64_t seekTs = target;
  for (int attempt = 0; attempt < kSeekAttempts; ++attempt) {
    const bool fromStart = attempt == kSeekAttempts - 1 || (startTs_ != kNone && seekTs < startTs_);
    if (fromStart)
      seekToStart();
    else
      seekTo(seekTs);
    Outcome outcome = decodeTo(target, found);
    if (outcome == Outcome::Found) return found;
    if (fromStart || budgetSpent_) break;
    // Landed on a key frame shown after the target, or where nothing could
    // be decoded up to the end: go back further.
    const int64_t landed = earlierOf(firstReadTs_, seekTs);
    const int64_t step =
        attempt == 0 ? 1 : av_rescale_q(int64_t{1} << (2 * attempt), AVRational{1, 1}, stream_->time_base);
    seekTs = landed - std::max<int64_t>(step, 1);
  }
  positioned_ = false;
  throw Fail("no frame could be decoded at this time");
}

bool DecodedFrameSource::canContinueTo(int64_t target) const {
  if (!positioned_ || drained_) return false;
  return !current_ || presentationTime(*current_) <= target;
}

bool DecodedFrameSource::worthSeeking(int64_t target) const {
  // Where decoding stands: the latest packet sent, else the first one read
  // since the last seek.
  int64_t position = laterOf(lastSentDts_, maxSentPts_);
  if (position == kNone) position = firstReadTs_;
  if (position == kNone) return false;
  if (const AVIndexEntry* key = keyEntryBefore(target)) {
    // A key frame not after the target that the decoder has not reached yet.
    if (key->timestamp > position) return true;
    const AVIndexEntry* last = avformat_index_get_entry(stream_, avformat_index_get_entries_count(stream_) - 1);
    if (last && last->timestamp >= target) return false;
  }
  // The index does not reach that far: judge by distance alone.
  const int64_t far = av_rescale_q(kBlindSeekSeconds, AVRational{1, 1}, stream_->time_base);
  return target - position > far;
}

void DecodedFrameSource::resetDecoder() {
  avcodec_flush_buffers(codec_.get());
  lookahead_.clear();
  sentPts_.clear();
  current_.reset();
  positioned_ = false;
  atStart_ = false;
  draining_ = false;
  drained_ = false;
  demuxEnded_ = false;
  outputs_ = 0;
  lastSentDts_ = kNone;
  maxSentPts_ = kNone;
  firstReadTs_ = kNone;
}

void DecodedFrameSource::seekTo(int64_t timestamp) {
  resetDecoder();
  int status = av_seek_frame(format_, streamIndex_, timestamp, AVSEEK_FLAG_BACKWARD);
  if (status < 0) status = avformat_seek_file(format_, streamIndex_, std::numeric_limits<int64_t>::min(), timestamp,
                                              timestamp, 0);
  if (status < 0) return seekToStart();
  positioned_ = true;
}

void DecodedFrameSource::seekToStart() {
  resetDecoder();
  const int64_t start = startTs_ != kNone ? startTs_ : 0;
  int status = av_seek_frame(format_, streamIndex_, start, AVSEEK_FLAG_BACKWARD);
  if (status < 0) status = av_seek_frame(format_, streamIndex_, 0, AVSEEK_FLAG_BYTE);
  if (status < 0) throw Fail("the clip cannot be read again from its start");
  positioned_ = true;
  atStart_ = true;
}

bool DecodedFrameSource::readPacket() {
  int errors = 0;
  while (!demuxEnded_) {
    if (budget_-- <= 0) {
      budgetSpent_ = true;
      demuxEnded_ = true;
      break;
    }
    int status = av_read_frame(format_, packet_.get());
    throwIfMemoryIsShort(status);
    if (status < 0) {
      if (status == AVERROR_EOF || ++errors >= kReadErrorsInARow || avio_feof(format_->pb)) demuxEnded_ = true;
      continue;
    }
    errors = 0;
    if (packet_->stream_index != streamIndex_) {
      av_packet_unref(packet_.get());
      continue;
    }
    if (firstReadTs_ == kNone) firstReadTs_ = earlierOf(packet_->dts, packet_->pts);
    PacketPtr packet(av_packet_alloc());
    if (!packet) throw std::bad_alloc();
    av_packet_move_ref(packet.get(), packet_.get());
    lookahead_.push_back(std::move(packet));
    return true;
  }
  return false;
}

// A frame that nothing else refers to may be left undecoded when a later
// frame, still not after the target, is known: it can be neither the answer
// nor needed by another frame. The decoder decides what is unreferenced.
bool DecodedFrameSource::skippable(const AVPacket& packet, int64_t target) const {
  if (packet.pts == kNone || packet.pts >= target) return false;
  auto later = [&](int64_t pts) { return pts != kNone && packet.pts < pts && pts <= target; };
  for (const PacketPtr& ahead : lookahead_)
    if (later(ahead->pts)) return true;
  return std::any_of(sentPts_.begin(), sentPts_.end(), later);
}

bool DecodedFrameSource::sendNextPacket(int64_t target) {
  while (lookahead_.size() < kLookahead && readPacket()) {
  }
  if (lookahead_.empty()) return false;
  PacketPtr packet = std::move(lookahead_.front());
  lookahead_.pop_front();
  codec_->skip_frame = skippable(*packet, target) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  int status = avcodec_send_packet(codec_.get(), packet.get());
  throwIfMemoryIsShort(status);
  if (status == AVERROR(EAGAIN)) {
    lookahead_.push_front(std::move(packet));
    return true;
  }
  // A packet the decoder rejects (damaged data) is dropped; decoding goes on.
  lastSentDts_ = laterOf(lastSentDts_, packet->dts);
  maxSentPts_ = laterOf(maxSentPts_, packet->pts);
  sentPts_.push_back(packet->pts);
  if (sentPts_.size() > kSentHistory) sentPts_.pop_front();
  return true;
}

DecodedFrameSource::Outcome DecodedFrameSource::decodeTo(int64_t target, FramePtr& found) {
  FramePtr candidate;
  if (current_) {
    if (presentationTime(*current_) > target) return Outcome::TooLate;
    candidate = referenceTo(*current_);
  }
  int errors = 0;
  // Every turn either reads a packet (bounded by the budget) or takes a frame.
  for (int64_t turns = 0; turns < 4 * kPacketBudget; ++turns) {
    // A picture can take long to decode: the reading time is checked at
    // every one, not only when the file is read.
    if (input_->outOfTime()) throw Fail(kOutOfTimeMessage);
    int status = avcodec_receive_frame(codec_.get(), scratch_.get());
    throwIfMemoryIsShort(status);
    if (status == 0) {
      errors = 0;
      // A frame given out unstamped while draining (the last of an AVI with
      // B-frames) follows the one before it.
      if (presentationTime(*scratch_) == kNone && draining_ && current_ && current_->pkt_duration > 0)
        scratch_->best_effort_timestamp = presentationTime(*current_) + current_->pkt_duration;
      const int64_t pts = presentationTime(*scratch_);
      if (pts == kNone) {
        av_frame_unref(scratch_.get());
        continue;
      }
      // The stream's own first frame is on screen from the clip's start; a
      // first frame decoded later (the earlier ones lacking their key frame)
      // is not, and earlier times have no picture.
      const bool firstFrame = atStart_ && outputs_ == 0 && (firstPts_ == kNone || pts <= firstPts_);
      ++outputs_;
      current_ = referenceTo(*scratch_);
      av_frame_unref(scratch_.get());
      if (pts <= target) {
        if (!candidate || pts >= presentationTime(*candidate)) candidate = referenceTo(*current_);
        if (presentationTime(*candidate) == pts && shownPast(*candidate, target)) {
          found = std::move(candidate);
          return Outcome::Found;
        }
        continue;
      }
      if (!candidate && firstFrame) candidate = referenceTo(*current_);  // the target precedes the first frame
      if (!candidate) return Outcome::TooLate;
      found = std::move(candidate);
      return Outcome::Found;
    }
    if (status == AVERROR(EAGAIN)) {
      if (draining_) break;
      if (!sendNextPacket(target)) {
        if (budgetSpent_) break;
        avcodec_send_packet(codec_.get(), nullptr);
        draining_ = true;
      }
      continue;
    }
    if (status == AVERROR_EOF) {
      drained_ = true;
      if (candidate && target >= shownUntil(*candidate)) return Outcome::Missing;
      if (candidate) {
        found = std::move(candidate);
        return Outcome::Found;
      }
      return outputs_ > 0 ? Outcome::TooLate : Outcome::Missing;
    }
    // A decoder error costs the picture it was working on; a decoder that
    // keeps failing gives up this request.
    if (++errors > kDecodeErrorsInARow) break;
  }
  positioned_ = false;
  return Outcome::Missing;
}

// True when `frame` is known to be on screen still at `target`: its own
// duration reaches past it, and no frame read so far starts between the two.
// Then no later frame needs decoding to know that it is the answer.
bool DecodedFrameSource::shownPast(const AVFrame& frame, int64_t target) const {
  const int64_t pts = presentationTime(frame);
  if (frame.pkt_duration <= 0 || pts + frame.pkt_duration <= target) return false;
  auto between = [&](int64_t other) { return other != kNone && pts < other && other <= target; };
  for (const PacketPtr& ahead : lookahead_)
    if (between(ahead->pts)) return false;
  return std::none_of(sentPts_.begin(), sentPts_.end(), between);
}

// The time stamp of the first frame the decoder gives out from where it
// stands, or none when it gives none within a few packets.
int64_t DecodedFrameSource::firstDecodedTime() {
  constexpr int kTurns = 64;
  for (int turn = 0; turn < kTurns; ++turn) {
    const int status = avcodec_receive_frame(codec_.get(), scratch_.get());
    if (status == 0) {
      const int64_t pts = presentationTime(*scratch_);
      av_frame_unref(scratch_.get());
      if (pts != kNone) return pts;
      continue;
    }
    throwIfMemoryIsShort(status);
    if (status != AVERROR(EAGAIN) || !sendNextPacket(kNone)) break;
  }
  return kNone;
}

// How long the last frame of the stream stays on screen. The clip's own last
// frame stays until the clip ends; when decoding ends well before that (a
// file cut short), the last frame that arrived is shown only for its own
// duration, and later times have no frame.
int64_t DecodedFrameSource::shownUntil(const AVFrame& last) const {
  constexpr int64_t kForever = std::numeric_limits<int64_t>::max();
  const int64_t length = last.pkt_duration;
  if (length <= 0 || !std::isfinite(duration_)) return kForever;
  const int64_t end = presentationTime(last) + length;
  const int64_t clipEnd = origin_ + static_cast<int64_t>(std::llround(duration_ / av_q2d(stream_->time_base)));
  return end >= clipEnd - length ? kForever : end;
}

