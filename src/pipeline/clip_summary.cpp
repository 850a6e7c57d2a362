#include "pipeline/clip_summary.h"

#include <algorithm>

#include "pipeline/rounding.h"

namespace {

constexpr size_t kLabelLimit = 12;
constexpr size_t kTextLimit = 24;

Document labelEntry(const std::string& label, float confidence) {
  return Document{{"label", label}, {"confidence", roundedSingle(confidence)}};
}

Document frameRecord(const FrameRecord& record) {
  Document labels = Document::array();
  for (const auto& score : record.labels) labels.push_back(labelEntry(score.label, score.confidence));
  return Document{{"t", roundedSeconds(record.time)},
                  {"path", record.path},
                  {"labels", labels},
                  {"text", record.text},
                  {"people", record.people}};
}

// The strongest labels, highest confidence first; equal confidences keep the
// order in which the labels first appeared, so a clip always gives the same
// bytes.
Document labelDigest(std::vector<std::pair<std::string, float>> labels) {
  std::stable_sort(labels.begin(), labels.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  if (labels.size() > kLabelLimit) labels.resize(kLabelLimit);
  Document entries = Document::array();
  for (const auto& [label, confidence] : labels) entries.push_back(labelEntry(label, confidence));
  return entries;
}

}  // namespace

Document clipSummary(const StreamFacts& facts, const ClipDigest& digest, const std::optional<std::string>& motion) {
  Document records = Document::array();
  for (const FrameRecord& record : digest.records) records.push_back(frameRecord(record));
  std::vector<std::string> texts(digest.texts.begin(),
                                 digest.texts.begin() + static_cast<long>(std::min(digest.texts.size(), kTextLimit)));
  return Document{
      {"ok", true},
      {"frames", records},
      {"facts",
       Document{{"duration_s", roundedSeconds(facts.duration)},
                {"width", facts.width},
                {"height", facts.height},
                {"fps", roundedSingle(facts.fps)},
                {"vertical", facts.width < facts.height}}},
      {"vision", Document{{"labels", labelDigest(digest.labels)}, {"text", texts}, {"people", digest.peakPeople}}},
      {"motion", motion ? Document(*motion) : Document(nullptr)},
  };
}
