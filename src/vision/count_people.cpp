#include "vision/count_people.h"

int64_t countPeople(Vision& vision, const Image& picture) {
  int64_t count = 0;
  for (const HumanObservation& human : vision.humans(picture))
    if (human.confidence > kPeopleConfidenceFloor) ++count;  // NaN is never above
  return count;
}
