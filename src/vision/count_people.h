#pragma once
#include <cstdint>

#include "base/image.h"
#include "vision/vision.h"

// How many people the picture shows: the human detections whose confidence
// is above kPeopleConfidenceFloor. Errors of the service pass through.
constexpr float kPeopleConfidenceFloor = 0.5f;  // exclusive
int64_t countPeople(Vision& vision, const Image& picture);
