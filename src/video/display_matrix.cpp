#include "video/display_matrix.h"

#include <cmath>

DisplaySize displaySize(const DisplayMatrix& m, double width, double height) {
  return {std::round(std::fabs(m.a * width + m.c * height)), std::round(std::fabs(m.b * width + m.d * height))};
}
