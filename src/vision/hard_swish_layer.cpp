#include "vision/hard_swish_layer.h"

#include <algorithm>
#include <mutex>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/dnn/layer.details.hpp>

namespace {

class HardSwishLayer : public cv::dnn::Layer {
 public:
  explicit HardSwishLayer(const cv::dnn::LayerParams& params) : Layer(params) {}

  static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams& params) { return cv::makePtr<HardSwishLayer>(params); }

  bool getMemoryShapes(const std::vector<cv::dnn::MatShape>& inputs, int, std::vector<cv::dnn::MatShape>& outputs,
                       std::vector<cv::dnn::MatShape>&) const override {
    if (inputs.size() != 1) CV_Error(cv::Error::StsBadArg, "hard-swish takes one input");
    outputs.assign(1, inputs[0]);
    return false;
  }

  void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
               cv::OutputArrayOfArrays) override {
    std::vector<cv::Mat> inputs, outputs;
    inputsArray.getMatVector(inputs);
    outputsArray.getMatVector(outputs);
    if (inputs[0].type() != CV_32F || !inputs[0].isContinuous() || !outputs[0].isContinuous())
      CV_Error(cv::Error::StsBadArg, "hard-swish takes continuous 32-bit floats");
    const float* in = inputs[0].ptr<float>();
    float* out = outputs[0].ptr<float>();
    const int total = int(inputs[0].total());
    constexpr int kStripe = 1 << 14;
    cv::parallel_for_(cv::Range(0, (total + kStripe - 1) / kStripe), [&](const cv::Range& stripes) {
      const int end = std::min(total, stripes.end * kStripe);
      int i = stripes.start * kStripe;
      const cv::v_float32 three = cv::vx_setall_f32(3), six = cv::vx_setall_f32(6), zero = cv::vx_setzero_f32(),
                          sixth = cv::vx_setall_f32(1.0f / 6);
      for (; i + cv::v_float32::nlanes <= end; i += cv::v_float32::nlanes) {
        const cv::v_float32 x = cv::vx_load(in + i);
        cv::v_store(out + i, x * cv::v_min(cv::v_max(x + three, zero), six) * sixth);
      }
      for (; i < end; ++i) out[i] = in[i] * std::min(std::max(in[i] + 3.0f, 0.0f), 6.0f) * (1.0f / 6);
    });
  }
};

}  // namespace

void registerHardSwishLayer() {
  static std::once_flag registered;
  std::call_once(registered, [] { cv::dnn::LayerFactory::registerLayer(kHardSwishLayer, HardSwishLayer::create); });
}
