#include "vision/vision.h"

#include "vision/object_model.h"
#include "vision/text_model.h"

namespace {

// The models behind the analyses. Each loads on first use, so a run that
// never reads text never pays for the text detector.
class ModelVision final : public Vision {
 public:
  std::vector<Classification> classifications(const Image& picture) override {
    return objects().classifications(picture);
  }
  std::vector<TextObservation> textObservations(const Image& picture) override {
    return text().textObservations(picture);
  }
  std::vector<HumanObservation> humans(const Image& picture) override { return objects().humans(picture); }
  FeaturePrint featurePrint(const Image& picture) override { return objects().featurePrint(picture); }
  double distance(const FeaturePrint& from, const FeaturePrint& to) override {
    return ObjectModel::distance(from, to);
  }

 private:
  ObjectModel& objects() {
    if (!objects_) objects_ = std::make_unique<ObjectModel>();
    return *objects_;
  }
  TextModel& text() {
    if (!text_) text_ = std::make_unique<TextModel>();
    return *text_;
  }
  std::unique_ptr<ObjectModel> objects_;
  std::unique_ptr<TextModel> text_;
};

}  // namespace

std::unique_ptr<Vision> makeVision() { return std::make_unique<ModelVision>(); }
