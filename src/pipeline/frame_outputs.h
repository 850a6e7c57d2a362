#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "pipeline/frame_sample.h"
#include "vision/label_score.h"

class Vision;

// What was written and found for one kept frame.
struct FrameRecord {
  double time = 0;                  // the sample time, unrounded
  std::string path;                 // the written JPEG file
  std::vector<LabelScore> labels;   // as classify returned them
  std::vector<std::string> text;    // as readText returned them
  int64_t people = 0;
};

// What the written frames tell about the clip as a whole.
struct ClipDigest {
  std::vector<FrameRecord> records;                    // one per written frame, in time order
  std::vector<std::pair<std::string, float>> labels;   // highest confidence per label, in order of first appearance
  std::vector<std::string> texts;                      // distinct text lines, in order of first appearance
  int64_t peakPeople = 0;
};

// Writes each kept frame into the existing directory `outDir` as
// "frame-NN.jpg" scaled to `size` on its longest side, and describes it.
// Throws when a file cannot be written; files already written stay.
ClipDigest writeFrames(const std::vector<FrameSample>& pool, const std::vector<int64_t>& kept, int64_t size,
                       const std::filesystem::path& outDir, Vision& vision);

// "frame-%02d.jpg"
std::string frameFileName(int64_t number);

// Adds the line to the list unless a canonically equivalent line is there.
void addDistinctLine(std::vector<std::string>& lines, const std::string& line);

// Keeps the highest confidence per label; a new label goes to the end.
void raiseLabel(std::vector<std::pair<std::string, float>>& table, const std::string& label, float confidence);
