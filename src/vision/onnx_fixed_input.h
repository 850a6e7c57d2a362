#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Returns the ONNX model `model` with its first input's shape fixed to
// `dims`, so that OpenCV 4.6's importer can work out the shapes the graph
// computes from it, and with every one-dimensional constant that a Mul or an
// Add applies along the last axis of a `steps`-long sequence tiled to
// 1 × steps × channels: that importer broadcasts a constant only when it has
// the full shape of the other operand. Throws Fail when the model cannot be
// parsed or `dims` does not match the input's rank.
std::string withFixedInput(const std::string& model, const std::vector<int64_t>& dims, int64_t steps);
