#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

// One clip file opened for demuxing, read only as a local file: the path is
// never taken as a URL or protocol string, only plain container formats are
// probed, and nothing inside the file may make the demuxer open another file
// or a network resource.
class MediaInput {
 public:
  // Throws Fail ("cannot open PATH: reason", "cannot read PATH: reason",
  // "the video could not be decoded in time").
  static std::unique_ptr<MediaInput> open(const std::string& path, std::chrono::milliseconds readingTime);
  // The same file read once more, from its start, by a reader of its own
  // with the same deadline: the file already open, not whatever its path
  // names now.
  std::unique_ptr<MediaInput> reopen() const;
  ~MediaInput();
  MediaInput(const MediaInput&) = delete;
  MediaInput& operator=(const MediaInput&) = delete;

  AVFormatContext* format() const { return format_; }
  const std::string& path() const { return path_; }
  // Index of the first video stream (cover art excluded), or -1.
  int videoStream() const { return videoStream_; }
  // True once the reading time is used up; every read fails from then on.
  bool outOfTime() const;

 private:
  MediaInput() = default;
  static std::unique_ptr<MediaInput> attach(int fd, const std::string& path,
                                            std::chrono::steady_clock::time_point deadline);
  // Throws the failure that ends an open which returned `status`.
  [[noreturn]] void failOpening(int status);
  friend std::unique_ptr<MediaInput> std::make_unique<MediaInput>();
  std::string path_;
  struct Reader {
    int fd = -1;
    int64_t position = 0;
    std::chrono::steady_clock::time_point deadline;
    std::atomic<bool> expired = false;  // also read by other threads, through outOfTime()
    bool tooManyStreams = false;  // the file declared more streams than allowed
  } reader_;
  struct AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  int videoStream_ = -1;
};

// FFmpeg's text for an error code.
std::string avErrorText(int code);
