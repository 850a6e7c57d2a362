#include "vision/count_people.h"

namespace {

constexpr float confidenceFloor = 0.5f;  // exclusive

}  // namespace

int64_t countPeople(Vision& vision, const Image& picture) {
  int64_t count = 0;
  for (const HumanObservation& human : vision.humans(picture))
    if (human.confidence > confidenceFloor) ++count;  // NaN is never above
  return count;
}
