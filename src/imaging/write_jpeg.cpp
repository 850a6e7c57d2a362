#include "imaging/write_jpeg.h"

#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "base/fail.h"
#include "base/pending_file.h"

namespace {

struct EncoderDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
struct EncodedDeleter {
  void operator()(unsigned char* bytes) const { tjFree(bytes); }
};

[[noreturn]] void failToWrite(const std::filesystem::path& to, const std::string& reason) {
  throw Fail("cannot write " + to.string() + ": " + reason);
}

// A new, empty file beside the destination (".NAME.XXXXXX"), created with
// the usual permissions (0666 less the umask) so that once renamed it looks
// like any other file the process writes. Closed, and removed unless kept,
// when it goes out of scope.
struct TemporaryFile {
  std::filesystem::path path;
  int fd = -1;
  bool kept = false;

  explicit TemporaryFile(const std::filesystem::path& to) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::uniform_int_distribution<size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string suffix(6, ' ');
      for (char& c : suffix) c = kLetters[letter(random)];
      path = to;
      std::string name(1, '.');
      name += to.filename().string();
      name += '.';
      name += suffix;
      path.replace_filename(name);
      // Noted before it exists, so that an interruption at any point removes it.
      notePendingFile(path.c_str());
      fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) return;
      clearPendingFile();
      if (errno != EEXIST) failToWrite(to, std::strerror(errno));
    }
    failToWrite(to, std::strerror(EEXIST));
  }
  ~TemporaryFile() {
    if (fd >= 0) close(fd);
    if (!kept) unlink(path.c_str());
    clearPendingFile();
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
};

}  // namespace

int jpegQuality(double quality) {
  if (std::isnan(quality)) return 1;
  const double scaled = std::round(quality * 100.0);
  if (scaled < 1) return 1;
  if (scaled > 100) return 100;
  return static_cast<int>(scaled);
}

void writeJPEG(const Image& picture, const std::filesystem::path& to, double quality) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgb.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 3)
    failToWrite(to, "the picture is empty or malformed");

  // A handle per call: creating one costs next to nothing beside encoding.
  std::unique_ptr<void, EncoderDeleter> encoder(tjInitCompress());
  if (!encoder) failToWrite(to, tjGetErrorStr2(nullptr));
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  const int failed = tjCompress2(encoder.get(), picture.rgb.data(), picture.width, 0, picture.height, TJPF_RGB,
                                 &bytes, &size, TJSAMP_420, jpegQuality(quality), 0);
  std::unique_ptr<unsigned char, EncodedDeleter> encoded(bytes);
  if (failed != 0) failToWrite(to, tjGetErrorStr2(encoder.get()));

  TemporaryFile file(to);
  size_t written = 0;
  while (written < size) {
    const ssize_t n = write(file.fd, encoded.get() + written, size - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failToWrite(to, std::strerror(errno));
    written += static_cast<size_t>(n);
  }
  // On disk before it gets its name: a crash of the machine never leaves an
  // empty file under a frame's name. Some file systems report a full disk
  // only here or when the file is closed.
  if (fsync(file.fd) != 0) failToWrite(to, std::strerror(errno));
  const int closed = close(file.fd);
  file.fd = -1;
  if (closed != 0) failToWrite(to, std::strerror(errno));
  if (rename(file.path.c_str(), to.c_str()) != 0) failToWrite(to, std::strerror(errno));
  file.kept = true;
}

void syncDirectory(const std::filesystem::path& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw Fail("cannot write " + dir.string() + ": " + std::strerror(errno));
  const int status = fsync(fd);
  const int error = errno;
  close(fd);
  // Some file systems cannot sync a directory; their renames are as safe as they get.
  if (status != 0 && error != EINVAL && error != EROFS)
    throw Fail("cannot write " + dir.string() + ": " + std::strerror(error));
}
