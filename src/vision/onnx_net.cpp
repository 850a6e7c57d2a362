#include "vision/onnx_net.h"

#include "base/fail.h"
#include "vision/depthwise_layer.h"
#include "vision/hard_swish_layer.h"
#include "vision/opencv_failure.h"

cv::dnn::Net onnxNet(std::span<const uint8_t> model, const std::string& what) {
  registerDepthwiseLayer();
  registerHardSwishLayer();
  try {
    cv::dnn::Net net = cv::dnn::readNetFromONNX(reinterpret_cast<const char*>(model.data()), model.size());
    if (net.empty()) throw Fail(what + ": the model did not load");
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    return net;
  } catch (const cv::Exception& error) {
    rethrowOpenCvError(error, "loading the " + what);
  }
}
