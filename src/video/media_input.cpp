#include "video/media_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "base/fail.h"
#include "base/frame_source.h"
#include "video/memory_check.h"

namespace {

// Plain container formats only. Playlists (hls, dash), lists of other files
// (concat, ffconcat), image sequences (image2) and network or device inputs
// are left out, so a hostile file cannot reach beyond itself.
// Sound-only and subtitle formats are read too, so that such a file is told
// apart from one that is not a clip at all.
constexpr const char* kFormatWhitelist =
    "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,mpegts,mpeg,mpegvideo,flv,asf,ogg,"
    "h264,hevc,m4v,mjpeg,ivf,nut,dv,gif,apng,rawvideo,"
    "wav,w64,aiff,caf,au,mp3,aac,ac3,eac3,flac,wv,amr,dts,truehd,srt,ass,webvtt";
// Streams a file may declare; FFmpeg's own limit, stated here so that the
// failure can say what happened.
constexpr int kMaxStreams = 1000;

constexpr int kIoBufferSize = 1 << 16;

// The largest block FFmpeg may allocate at once. A file may declare tables
// far larger than itself: an MP4 of 5 KB whose sample table claims tens of
// millions of samples of one size had the demuxer allocate its index, 2.7 GB,
// and spend 20 s filling it. An allocation refused here fails as out of
// memory, which the demuxer and decoders report or survive. The largest
// real blocks are a decoded picture's planes, at most 71 MB (16-bit samples
// of an 8192 x 4320 picture, the largest read); an index of 128 MB holds 5
// million samples, a day of 60 frames a second.
constexpr size_t kLargestAllocation = size_t(128) << 20;

// True (for good) once the reader's time is used up.
template <typename Reader>
bool expired(Reader& reader) {
  if (!reader.expired && std::chrono::steady_clock::now() >= reader.deadline) reader.expired = true;
  return reader.expired;
}

// Reads at the reader's own position, so that readers sharing one open file
// do not move each other.
template <typename Reader>
int readPacket(void* opaque, uint8_t* buffer, int size) {
  auto& reader = *static_cast<Reader*>(opaque);
  if (expired(reader)) return AVERROR_EXIT;
  for (;;) {
    ssize_t got = ::pread(reader.fd, buffer, size, reader.position);
    if (got > 0) {
      reader.position += got;
      return static_cast<int>(got);
    }
    if (got == 0) return AVERROR_EOF;
    if (errno != EINTR) return AVERROR(errno);
  }
}

template <typename Reader>
int64_t seekFile(void* opaque, int64_t offset, int whence) {
  auto& reader = *static_cast<Reader*>(opaque);
  struct stat info {};
  if (::fstat(reader.fd, &info) != 0) return AVERROR(errno);
  if (whence & AVSEEK_SIZE) return info.st_size;
  int64_t at = offset;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: break;
    case SEEK_CUR: at += reader.position; break;
    case SEEK_END: at += info.st_size; break;
    default: return AVERROR(EINVAL);
  }
  if (at < 0) return AVERROR(EINVAL);
  return reader.position = at;
}

// Refuses every attempt of a demuxer to open a further resource.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
  return AVERROR(EPERM);
}

template <typename Reader>
int interrupted(void* opaque) {
  return expired(*static_cast<Reader*>(opaque)) ? 1 : 0;
}

// Nothing is printed. The one message that matters, a file declaring more
// streams than allowed, is noted on the reader of the format that said it.
template <typename Reader>
void quietLog(void* context, int, const char* format, va_list) {
  if (!context || !format || !std::strstr(format, "max_streams")) return;
  if (*static_cast<const AVClass**>(context) != avformat_get_class()) return;
  if (auto* reader = static_cast<Reader*>(static_cast<AVFormatContext*>(context)->opaque)) reader->tooManyStreams = true;
}

// Why a file whose format is not read cannot be read: the format it seems to
// have, found by probing its first bytes.
std::string refusedFormatReason(AVIOContext* io, const std::string& path) {
  if (avio_seek(io, 0, SEEK_SET) < 0) return "Invalid argument";
  const AVInputFormat* format = nullptr;
  if (av_probe_input_buffer2(io, &format, path.c_str(), nullptr, 0, 1 << 20) < 0 || !format)
    return "Invalid data found when processing input";
  const std::string name = format->name;
  if (name == "image2" || name.ends_with("_pipe")) return "this is a still picture, not a video";
  if (format->long_name) return std::string("files in the format ") + format->long_name + " are not read";
  return "files in the format " + name + " are not read";
}

}  // namespace

std::string avErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool MediaInput::outOfTime() const {
  return reader_.expired || std::chrono::steady_clock::now() >= reader_.deadline;
}

std::unique_ptr<MediaInput> MediaInput::open(const std::string& path, std::chrono::milliseconds readingTime) {
  const auto deadline = std::chrono::steady_clock::now() + readingTime;
  av_log_set_callback(quietLog<Reader>);
  av_max_alloc(kLargestAllocation);
  // Non-blocking, so that opening a FIFO does not wait for a writer; the
  // file is refused below unless it is a regular one, where the flag has no
  // effect on reading.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) throw Fail("cannot open " + path + ": " + std::strerror(errno));
  return attach(fd, path, deadline);
}

std::unique_ptr<MediaInput> MediaInput::reopen() const {
  const int fd = ::fcntl(reader_.fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) throw Fail("cannot open " + path_ + ": " + std::strerror(errno));
  return attach(fd, path_, reader_.deadline);
}

std::unique_ptr<MediaInput> MediaInput::attach(int fd, const std::string& path,
                                               std::chrono::steady_clock::time_point deadline) {
  auto input = std::make_unique<MediaInput>();
  input->path_ = path;
  input->reader_.fd = fd;
  input->reader_.deadline = deadline;
  struct stat info {};
  if (::fstat(input->reader_.fd, &info) != 0 || !S_ISREG(info.st_mode))
    throw Fail("cannot open " + path + ": not a regular file");

  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (!buffer) throw std::bad_alloc();
  input->io_ = avio_alloc_context(buffer, kIoBufferSize, 0, &input->reader_, readPacket<Reader>, nullptr,
                                  seekFile<Reader>);
  if (!input->io_) {
    av_free(buffer);
    throw std::bad_alloc();
  }
  input->format_ = avformat_alloc_context();
  if (!input->format_) throw std::bad_alloc();
  input->format_->pb = input->io_;
  input->format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  input->format_->io_open = refuseNestedOpen;
  input->format_->interrupt_callback = AVIOInterruptCB{interrupted<Reader>, &input->reader_};
  input->format_->opaque = &input->reader_;

  AVDictionary* options = nullptr;
  av_dict_set(&options, "format_whitelist", kFormatWhitelist, 0);
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  av_dict_set(&options, "enable_drefs", "0", 0);
  av_dict_set_int(&options, "max_streams", kMaxStreams, 0);
  // Bounded probing: at most 5 MB and 10 s of the clip are read to find its
  // streams.
  av_dict_set(&options, "probesize", "5000000", 0);
  av_dict_set(&options, "analyzeduration", "10000000", 0);
  // The name is only a hint for probing by extension; the bytes come from the
  // descriptor opened above.
  int status = avformat_open_input(&input->format_, path.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (status < 0) {
    input->format_ = nullptr;  // freed by avformat_open_input on failure
    input->failOpening(status);
  }
  status = avformat_find_stream_info(input->format_, nullptr);
  if (status < 0 || input->outOfTime()) input->failOpening(status);

  for (unsigned i = 0; i < input->format_->nb_streams; ++i) {
    const AVStream* stream = input->format_->streams[i];
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
    input->videoStream_ = static_cast<int>(i);
    break;
  }
  return input;
}

void MediaInput::failOpening(int status) {
  if (outOfTime()) throw Fail(kOutOfTimeMessage);
  if (reader_.tooManyStreams)
    throw Fail("cannot read " + path_ + ": the file has more than " + std::to_string(kMaxStreams) + " streams");
  throwIfMemoryIsShort(status);
  if (status == AVERROR(ENOMEM)) throw Fail("cannot read " + path_ + ": the file declares sizes too large to be read");
  // A format left out of the whitelist is refused as an invalid argument.
  if (status == AVERROR(EINVAL)) throw Fail("cannot read " + path_ + ": " + refusedFormatReason(io_, path_));
  throw Fail("cannot read " + path_ + ": " + avErrorText(status));
}

MediaInput::~MediaInput() {
  if (format_) avformat_close_input(&format_);
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  if (reader_.fd >= 0) ::close(reader_.fd);
}
