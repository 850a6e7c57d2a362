#pragma once
#include <string>

// One scene label of a picture: the classifier's identifier, unchanged, and
// its confidence as the classifier reported it.
struct LabelScore {
  std::string label;
  float confidence = 0;
};
