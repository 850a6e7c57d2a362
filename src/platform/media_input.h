#pragma once
#include <memory>
#include <string>

struct AVFormatContext;

// One clip file opened for demuxing, read only as a local file: the path is
// never taken as a URL or protocol string, only plain container formats are
// probed, and nothing inside the file may make the demuxer open another file
// or a network resource.
class MediaInput {
 public:
  // Throws Fail ("cannot open PATH: reason", "cannot read PATH: reason").
  static std::unique_ptr<MediaInput> open(const std::string& path);
  ~MediaInput();
  MediaInput(const MediaInput&) = delete;
  MediaInput& operator=(const MediaInput&) = delete;

  AVFormatContext* format() const { return format_; }
  const std::string& path() const { return path_; }
  // Index of the first video stream (cover art excluded), or -1.
  int videoStream() const { return videoStream_; }

 private:
  MediaInput() = default;
  std::string path_;
  int fd_ = -1;
  struct AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  int videoStream_ = -1;
};

// FFmpeg's text for an error code.
std::string avErrorText(int code);
