#pragma once
#include <vector>

#include "vision/label_score.h"
#include "base/image.h"
#include "vision/vision.h"

// The picture's scene labels: the classifier's observations above the
// confidence floor, at most 8, in the classifier's order. Errors of the
// service pass through.
std::vector<LabelScore> classify(Vision& vision, const Image& picture);
