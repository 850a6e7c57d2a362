#include "platform/object_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "analysis/classify.h"
#include "analysis/count_people.h"
#include "app/fail.h"
#include "support/clips.h"
#include "support/photos.h"

namespace {

ObjectModel& model() {
  static ObjectModel shared;
  return shared;
}

// The object model behind the Vision interface, as the analyses see it.
class ModelVision : public Vision {
 public:
  std::vector<Classification> classifications(const Image& p) override { return model().classifications(p); }
  std::vector<TextObservation> textObservations(const Image&) override { return {}; }
  std::vector<HumanObservation> humans(const Image& p) override { return model().humans(p); }
  FeaturePrint featurePrint(const Image& p) override { return model().featurePrint(p); }
  double distance(const FeaturePrint& a, const FeaturePrint& b) override { return ObjectModel::distance(a, b); }
};

Image astronaut() { return loadPhoto("astronaut", samplePhoto("astronaut.png")); }
Image cat() { return loadPhoto("chelsea", samplePhoto("chelsea.png")); }
Image coffee() { return loadPhoto("coffee", samplePhoto("coffee.png")); }

// How the frame selection reads a distance: half of it, capped at 1.
double change(const Image& a, const Image& b) {
  return std::min(ObjectModel::distance(model().featurePrint(a), model().featurePrint(b)) * 0.5, 1.0);
}

TEST(ObjectModel, FindsTheOnePersonInAPortrait) {
  ModelVision vision;
  Image picture = astronaut();
  std::vector<Classification> labels = model().classifications(picture);
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels[0].identifier, "person");
  EXPECT_GT(labels[0].confidence, 0.8f);
  EXPECT_EQ(countPeople(vision, picture), 1);
  std::vector<LabelScore> kept = classify(vision, picture);
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept[0].label, "person");
}

TEST(ObjectModel, CountsTwoPeopleSideBySide) {
  ModelVision vision;
  Image pair = loadPhoto("astronaut-and-cameraman", samplePhoto("astronaut.png") + "' -i '" + samplePhoto("camera.png"),
                         "[1]format=rgb24[c];[0][c]hstack");
  EXPECT_EQ(pair.width, 1024);
  EXPECT_EQ(countPeople(vision, pair), 2);
}

TEST(ObjectModel, PicturesWithoutPeopleCountNone) {
  ModelVision vision;
  Image animal = cat();
  Image cup = coffee();
  EXPECT_EQ(countPeople(vision, animal), 0);
  EXPECT_EQ(countPeople(vision, cup), 0);
  EXPECT_EQ(model().classifications(animal).at(0).identifier, "cat");
  EXPECT_EQ(model().classifications(cup).at(0).identifier, "cup");
}

TEST(ObjectModel, LabelsAreDistinctAndMostConfidentFirst) {
  std::vector<Classification> labels = model().classifications(coffee());
  std::set<std::string> seen;
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_TRUE(seen.insert(labels[i].identifier).second) << labels[i].identifier;
    EXPECT_GE(labels[i].confidence, 0.01f);
    EXPECT_LE(labels[i].confidence, 1.0f);
    if (i > 0) {
      EXPECT_GE(labels[i - 1].confidence, labels[i].confidence);
    }
  }
}

TEST(ObjectModel, AnswersFollowThePictureNotTheCall) {
  // Labels and people of one picture are computed once and reused; asking
  // about another picture in between must not mix them up.
  Image person = astronaut();
  Image animal = cat();
  std::vector<Classification> first = model().classifications(person);
  for (const HumanObservation& h : model().humans(animal)) EXPECT_LT(h.confidence, 0.5f);
  std::vector<Classification> again = model().classifications(person);
  ASSERT_EQ(first.size(), again.size());
  EXPECT_EQ(again[0].identifier, "person");
  EXPECT_EQ(again[0].confidence, first[0].confidence);
  Image copy = person;  // same pixels elsewhere in memory
  EXPECT_EQ(model().humans(copy).size(), model().humans(person).size());
  copy.rgb.assign(copy.rgb.size(), 0);  // same size, other pixels
  ModelVision vision;
  EXPECT_EQ(countPeople(vision, copy), 0);
}

TEST(ObjectModel, NearDuplicatesPrintCloseAndOtherPhotosFar) {
  Image original = astronaut();
  Image shifted = loadPhoto("astronaut-shifted",
                            makeClip("astronaut-shifted.jpg", "-i '" + samplePhoto("astronaut.png") +
                                                                  "' -vf crop=496:496:10:6,scale=512:512 -q:v 12"));
  Image brighter = loadPhoto("astronaut-brighter", samplePhoto("astronaut.png"), "eq=brightness=0.1");
  EXPECT_EQ(change(original, original), 0.0);
  EXPECT_LT(change(original, shifted), 0.12);
  EXPECT_LT(change(original, brighter), 0.12);
  EXPECT_GT(change(original, cat()), 0.2);
  EXPECT_GT(change(coffee(), cat()), 0.2);
}

TEST(ObjectModel, PrintIsAUnitVectorOfFixedLength) {
  FeaturePrint wide = model().featurePrint(coffee());
  FeaturePrint tiny = model().featurePrint(Image{1, 1, {200, 30, 30}});
  ASSERT_EQ(wide.values.size(), tiny.values.size());
  double norm = 0;
  for (float v : wide.values) norm += double(v) * v;
  EXPECT_NEAR(norm, 1.0, 1e-5);
}

TEST(ObjectModel, DistanceIsScaledEuclidean) {
  EXPECT_DOUBLE_EQ(ObjectModel::distance({{1, 0}}, {{0, 1}}), 0.8 * std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(ObjectModel::distance({{0.6f, 0.8f}}, {{0.6f, 0.8f}}), 0.0);
  EXPECT_DOUBLE_EQ(ObjectModel::distance({{1, 0}}, {{-1, 0}}), 1.6);
  EXPECT_THROW(ObjectModel::distance({{1, 0}}, {{1}}), Fail);
  EXPECT_THROW(ObjectModel::distance({}, {}), Fail);
}

TEST(ObjectModel, RejectsPicturesWithoutPixels) {
  Image empty;
  Image shortRows{4, 4, std::vector<uint8_t>(10, 0)};
  EXPECT_THROW(model().classifications(empty), Fail);
  EXPECT_THROW(model().humans(shortRows), Fail);
  EXPECT_THROW(model().featurePrint(empty), Fail);
  // A single pixel is a picture like any other.
  ModelVision vision;
  EXPECT_EQ(countPeople(vision, Image{1, 1, {0, 0, 0}}), 0);
}

}  // namespace
