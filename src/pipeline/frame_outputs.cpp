#include "pipeline/frame_outputs.h"

#include <utf8proc.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "analysis/classify.h"
#include "analysis/count_people.h"
#include "analysis/read_text.h"
#include "app/output_dir.h"
#include "imaging/resize.h"
#include "imaging/write_jpeg.h"
#include "pipeline/rounding.h"

namespace {

constexpr double kJpegQuality = 0.72;

// The canonical composition (NFC) of a line, or the line itself when it is
// not valid UTF-8.
std::string canonicalForm(const std::string& line) {
  std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> composed(
      utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(line.c_str())), &std::free);
  if (!composed) return line;
  return reinterpret_cast<const char*>(composed.get());
}

Document labelEntry(const LabelScore& score) {
  return Document{{"label", score.label}, {"confidence", roundedSingle(score.confidence)}};
}

// An analysis that fails costs only its own answer for this frame.
template <typename Analysis, typename Result>
Result orDefault(Analysis analysis, Result fallback) {
  try {
    return analysis();
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace

std::string frameFileName(int64_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%02lld.jpg", static_cast<long long>(number));
  return name;
}

void addDistinctLine(std::vector<std::string>& lines, const std::string& line) {
  const std::string form = canonicalForm(line);
  for (const auto& existing : lines)
    if (canonicalForm(existing) == form) return;
  lines.push_back(line);
}

void raiseLabel(std::vector<std::pair<std::string, float>>& table, const std::string& label, float confidence) {
  for (auto& [name, best] : table) {
    if (name != label) continue;
    if (confidence >= best) best = confidence;
    return;
  }
  // A new label starts from 0.0, so a negative or NaN confidence stays 0.
  table.emplace_back(label, confidence >= 0.0f ? confidence : 0.0f);
}

ClipDigest writeFrames(const std::vector<FrameSample>& pool, const std::vector<int64_t>& kept, int64_t size,
                       std::filesystem::path& outDir, bool fresh, Vision& vision) {
  createOutputDirectory(outDir, fresh);
  ClipDigest digest;
  for (size_t number = 0; number < kept.size(); ++number) {
    const FrameSample& sample = pool[static_cast<size_t>(kept[number])];
    Picture picture = resize(sample.image, size);
    if (!picture) picture = sample.image;
    const std::filesystem::path location = outDir / frameFileName(static_cast<int64_t>(number));
    writeJPEG(*picture, location, kJpegQuality);
    picture.reset();

    const Image& image = *sample.image;
    auto labels = orDefault([&] { return classify(vision, image); }, std::vector<LabelScore>{});
    auto text = orDefault([&] { return readText(vision, image); }, std::vector<std::string>{});
    int64_t people = orDefault([&] { return countPeople(vision, image); }, int64_t{0});

    if (people > digest.peakPeople) digest.peakPeople = people;
    for (const auto& score : labels) raiseLabel(digest.labels, score.label, score.confidence);
    for (const auto& line : text) addDistinctLine(digest.texts, line);

    Document labelEntries = Document::array();
    for (const auto& score : labels) labelEntries.push_back(labelEntry(score));
    digest.records.push_back(Document{{"t", roundedSeconds(sample.time)},
                                      {"path", location.string()},
                                      {"labels", labelEntries},
                                      {"text", text},
                                      {"people", people}});
  }
  return digest;
}
