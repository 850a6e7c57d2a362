#pragma once
#include <cstdint>

#include "base/image.h"
#include "vision/vision.h"

// How many people the picture shows: the human detections whose confidence
// is above 0.5. Errors of the service pass through.
int64_t countPeople(Vision& vision, const Image& picture);
