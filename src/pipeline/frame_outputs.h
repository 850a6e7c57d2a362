#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/document.h"
#include "pipeline/frame_sample.h"

class Vision;

// What the written frames tell about the clip as a whole.
struct ClipDigest {
  Document records = Document::array();                 // one frame record per written frame, in time order
  std::vector<std::pair<std::string, float>> labels;    // highest confidence per label, in order of first appearance
  std::vector<std::string> texts;                       // distinct text lines, in order of first appearance
  int64_t peakPeople = 0;
};

// Creates the output directory (exclusively when `fresh`; the path is updated
// when another name had to be drawn), then writes each kept frame as
// "frame-NN.jpg" scaled to `size` on its longest side and describes it.
// Throws when the directory or a file cannot be written; files already
// written stay.
ClipDigest writeFrames(const std::vector<FrameSample>& pool, const std::vector<int64_t>& kept, int64_t size,
                       std::filesystem::path& outDir, bool fresh, Vision& vision);

// "frame-%02d.jpg"
std::string frameFileName(int64_t number);

// Adds the line to the list unless a canonically equivalent line is there.
void addDistinctLine(std::vector<std::string>& lines, const std::string& line);

// Keeps the highest confidence per label; a new label goes to the end.
void raiseLabel(std::vector<std::pair<std::string, float>>& table, const std::string& label, float confidence);
