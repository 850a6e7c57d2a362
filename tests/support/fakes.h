#pragma once
#include <functional>
#include <map>

#include "base/fail.h"
#include "base/frame_source.h"
#include "vision/vision.h"

// A picture of one flat colour.
inline Picture flatPicture(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  auto image = std::make_shared<Image>(Image{width, height, {}});
  for (int i = 0; i < width * height; ++i) image->rgb.insert(image->rgb.end(), {r, g, b});
  return image;
}

// A frame source that draws each picture from a function of the time; the
// function may throw to make a time undecodable. It says its reading time is
// used up when told so.
struct FakeFrameSource : FrameSource {
  explicit FakeFrameSource(std::function<Picture(double)> draw) : draw(std::move(draw)) {}
  Picture frameAt(double seconds) override {
    requests.push_back(seconds);
    return draw(seconds);
  }
  bool outOfTime() const override { return readingTimeUsedUp; }
  std::function<Picture(double)> draw;
  std::vector<double> requests;
  bool readingTimeUsedUp = false;
};

// An analysis service whose answers are chosen per picture, keyed by the
// picture's top-left red value; prints carry that key (or any number put in
// their one value) and their distance comes from a function of the two keys.
// Every distance asked is recorded as (from, to).
struct FakeVision : Vision {
  std::map<int, std::vector<Classification>> labels;
  std::map<int, std::vector<TextObservation>> texts;
  std::map<int, std::vector<HumanObservation>> people;
  std::map<int, bool> failing;  // every analysis of that picture throws
  std::function<double(int, int)> distanceOf = [](int a, int b) { return a == b ? 0.0 : 1.0; };
  std::vector<std::pair<int, int>> distanceCalls;
  std::function<void()> onClassify = [] {};  // runs before each classification

  static int key(const Image& picture) { return picture.rgb.empty() ? -1 : picture.rgb[0]; }

  template <typename Answer>
  Answer answer(std::map<int, Answer>& answers, const Image& picture) {
    check(picture);
    return answers[key(picture)];
  }
  std::vector<Classification> classifications(const Image& picture) override {
    onClassify();
    return answer(labels, picture);
  }
  std::vector<TextObservation> textObservations(const Image& picture) override { return answer(texts, picture); }
  std::vector<HumanObservation> humans(const Image& picture) override { return answer(people, picture); }
  FeaturePrint featurePrint(const Image& picture) override {
    check(picture);
    return FeaturePrint{{static_cast<float>(key(picture))}};
  }
  double distance(const FeaturePrint& from, const FeaturePrint& to) override {
    distanceCalls.emplace_back(static_cast<int>(from.values.at(0)), static_cast<int>(to.values.at(0)));
    return distanceOf(distanceCalls.back().first, distanceCalls.back().second);
  }
  void check(const Image& picture) {
    if (failing[key(picture)]) throw Fail("analysis failed");
  }
};
