#pragma once
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/fail.h"
#include "base/frame_source.h"
#include "vision/vision.h"

// A picture of one flat colour.
inline Picture flatPicture(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  auto image = std::make_shared<Image>();
  image->width = width;
  image->height = height;
  image->rgb.resize(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < image->rgb.size(); i += 3) {
    image->rgb[i] = r;
    image->rgb[i + 1] = g;
    image->rgb[i + 2] = b;
  }
  return image;
}

// A frame source that draws each picture from a function of the time; the
// function may throw to make a time undecodable.
class FakeFrameSource : public FrameSource {
 public:
  explicit FakeFrameSource(std::function<Picture(double)> draw) : draw_(std::move(draw)) {}
  Picture frameAt(double seconds) override {
    requests.push_back(seconds);
    return draw_(seconds);
  }
  std::vector<double> requests;

 private:
  std::function<Picture(double)> draw_;
};

// An analysis service whose answers are chosen per picture, keyed by the
// picture's top-left red value; prints carry that key (or any number put in
// their one value) and their distance comes from a function of the two keys.
// Every distance asked is recorded as (from, to).
class FakeVision : public Vision {
 public:
  std::map<int, std::vector<Classification>> labels;
  std::map<int, std::vector<TextObservation>> texts;
  std::map<int, std::vector<HumanObservation>> people;
  std::map<int, bool> failing;  // every analysis of that picture throws
  std::function<double(int, int)> distanceOf = [](int a, int b) { return a == b ? 0.0 : 1.0; };
  std::vector<std::pair<int, int>> distanceCalls;
  std::function<void()> onClassify = [] {};  // runs before each classification

  static int key(const Image& picture) { return picture.rgb.empty() ? -1 : picture.rgb[0]; }

  std::vector<Classification> classifications(const Image& picture) override {
    onClassify();
    check(picture);
    return labels[key(picture)];
  }
  std::vector<TextObservation> textObservations(const Image& picture) override {
    check(picture);
    return texts[key(picture)];
  }
  std::vector<HumanObservation> humans(const Image& picture) override {
    check(picture);
    return people[key(picture)];
  }
  FeaturePrint featurePrint(const Image& picture) override {
    check(picture);
    return FeaturePrint{{static_cast<float>(key(picture))}};
  }
  double distance(const FeaturePrint& from, const FeaturePrint& to) override {
    distanceCalls.emplace_back(static_cast<int>(from.values.at(0)), static_cast<int>(to.values.at(0)));
    return distanceOf(distanceCalls.back().first, distanceCalls.back().second);
  }

 private:
  void check(const Image& picture) {
    if (failing[key(picture)]) throw Fail("analysis failed");
  }
};
