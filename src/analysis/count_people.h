#pragma once
#include <cstdint>

#include "imaging/image.h"
#include "platform/vision.h"

// How many people the picture shows: the human detections whose confidence
// is above 0.5. Errors of the service pass through.
int64_t countPeople(Vision& vision, const Image& picture);
