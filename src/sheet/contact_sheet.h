#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The contact sheet: one self-contained HTML page over the frames documents of
// a batch run (one JSON line per clip), with the frames embedded as small
// JPEG thumbnails. Nothing in a document is trusted: every text that reaches
// the page goes through escapeHtml.

// Text safe to put between tags and inside quoted attribute values: & < > " '
// become entities; bytes that are not valid UTF-8 and control characters
// other than tab, line feed and carriage return become U+FFFD.
std::string escapeHtml(std::string_view text);

// A data: URI of a JPEG thumbnail of the given JPEG file contents, at most
// about maxSide pixels on the long side (decoded with libjpeg-turbo's scaling
// factors and encoded again). When the picture can be read but not scaled,
// the bytes are embedded as they are. Nothing when the bytes are not a JPEG.
std::optional<std::string> thumbnailDataUri(std::string_view jpeg, int maxSide = 240);

// Reads a whole file, or nothing when it cannot be read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

struct Label {
  std::string label;
  double confidence = 0;
};

struct FrameRecord {
  double t = 0;
  std::string path;
  std::vector<Label> labels;
  std::vector<std::string> text;
  long long people = 0;
};

// One line of the results file as the page shows it.
struct ClipEntry {
  enum class Kind { analysed, failed, unreadable };
  Kind kind = Kind::unreadable;
  std::string error;  // failed: the document's "error"; unreadable: why
  std::optional<double> duration, width, height, fps;
  std::optional<bool> vertical;
  std::optional<std::string> motion;  // nothing when the document has null
  std::vector<Label> labels;          // vision.labels
  std::vector<std::string> text;      // vision.text
  std::optional<long long> people;    // vision.people
  std::vector<FrameRecord> frames;
};

// Reads one line; fields of the wrong type are left out, never fatal.
ClipEntry parseLine(const std::string& line);

// The whole page. Line N belongs to clipNames[N-1] when there is one, else is
// called "clip N"; clip names without a line are listed as having no result.
std::string renderSheet(const std::vector<std::string>& lines,
                        const std::vector<std::string>& clipNames, const FileReader& readFile);
