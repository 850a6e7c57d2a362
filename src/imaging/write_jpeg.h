#pragma once
#include <filesystem>

#include "base/image.h"

// Encoder quality (1 to 100) for a quality from 0.0 (smallest file) to 1.0
// (best picture): quality x 100 rounded, halves away from zero, then held to
// 1 ... 100. Values outside 0 ... 1 are held the same way; NaN gives 1.
int jpegQuality(double quality);

// Writes the picture to `to` as a baseline JPEG (4:2:0 chroma, sRGB pixel
// data as given), replacing any file there. The bytes go to a temporary file
// in the same directory that is renamed into place only when complete, so a
// failed write never leaves a partial file under `to`. Throws Fail "cannot
// write PATH: reason" with the system's or the encoder's reason.
void writeJPEG(const Image& picture, const std::filesystem::path& to, double quality);

// Flushes the directory's entries (the names given by writeJPEG's renames) to
// disk. Throws Fail "cannot write DIR: reason".
void syncDirectory(const std::filesystem::path& dir);
