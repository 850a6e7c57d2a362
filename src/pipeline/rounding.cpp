#include "pipeline/rounding.h"

#include <cmath>

double roundedSeconds(double value) { return std::round(value * 100.0) / 100.0; }

double roundedSingle(float value) {
  float scaled = value * 100.0f;
  float whole = std::round(scaled);
  return static_cast<double>(whole / 100.0f);
}
