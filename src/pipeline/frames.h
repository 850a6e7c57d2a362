#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "base/document.h"

class FrameSource;
class Vision;
struct StreamFacts;

// What the front end hands to a frames run.
struct RunSettings {
  std::string video;              // path of the clip, as typed
  int64_t count = 6;              // frames to keep; 0 or negative keeps none
  int64_t size = 512;             // longest side of each written frame
  std::filesystem::path outDir;   // absolute; created by the run
  bool freshOutDir = true;        // the last component must be new (a fresh name is drawn on a clash)
};

// The whole clip analysis: returns the frames document, or throws (Fail).
Document frames(const RunSettings& settings);

// Everything after the clip is opened: sampling, selection, written frames,
// motion and the document, over any frame source and analysis service.
Document analyseClip(const StreamFacts& facts, FrameSource& source, Vision& vision, const RunSettings& settings);
