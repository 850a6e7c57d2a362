#include "pipeline/frame_outputs.h"

#include <cstdio>

#include "base/fail.h"
#include "base/utf8.h"
#include "imaging/resize.h"
#include "imaging/write_jpeg.h"
#include "vision/classify.h"
#include "vision/count_people.h"
#include "vision/read_text.h"

namespace {

constexpr double kJpegQuality = 0.72;

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
                       const std::filesystem::path& outDir, Vision& vision) {
  ClipDigest digest;
  for (size_t number = 0; number < kept.size(); ++number) {
    const FrameSample& sample = pool[static_cast<size_t>(kept[number])];
    Picture picture = resize(sample.image, size);
    if (!picture) picture = sample.image;
    const std::filesystem::path location = outDir / frameFileName(static_cast<int64_t>(number));
    writeJPEG(*picture, location, kJpegQuality);
    picture.reset();

    const Image& image = *sample.image;
    FrameRecord record{sample.time, location.string(), {}, {}, 0};
    record.labels = orDefault([&] { return classify(vision, image); }, std::vector<LabelScore>{});
    record.text = orDefault([&] { return readText(vision, image); }, std::vector<std::string>{});
    record.people = orDefault([&] { return countPeople(vision, image); }, int64_t{0});

    if (record.people > digest.peakPeople) digest.peakPeople = record.people;
    for (const auto& score : record.labels) raiseLabel(digest.labels, score.label, score.confidence);
    for (const auto& line : record.text) addDistinctLine(digest.texts, line);
    digest.records.push_back(std::move(record));
  }
  if (!kept.empty()) syncDirectory(outDir);
  return digest;
}
