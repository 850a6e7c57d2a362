#include "vision/count_people.h"

namespace {

constexpr float kConfidenceFloor = 0.5f;  // exclusive

}  // namespace

int64_t countPeople(Vision& vision, const Image& picture) {
  int64_t count = 0;
  for (const HumanObservation& human : vision.humans(picture))
    if (human.confidence > kConfidenceFloor) ++count;  // NaN is never above
  return count;
}
