#pragma once
#include <cstdint>
#include <span>
#include <string>

// Returns the ONNX model `model` re-serialised with every Clip node whose
// bounds arrive as inputs (opset 11 and later) rewritten to carry them as the
// older "min"/"max" attributes, the only form OpenCV 4.6's importer accepts.
// Bounds must be constants (Constant nodes or initialisers); constants left
// without a user are removed. Throws Fail when the model cannot be parsed or
// a bound is not a constant scalar.
std::string clipBoundsAsAttributes(std::span<const uint8_t> model);
