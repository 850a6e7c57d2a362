#include "vision/ctc_recogniser.h"

#include <opencv2/imgproc.hpp>
#include <string_view>

#include "base/fail.h"
#include "vision/embedded_models.h"
#include "vision/onnx_net.h"

CtcRecogniser::CtcRecogniser()
    : net_(onnxNet(textRecogniserOnnx(), "text recogniser")),
      alphabet_(latinAlphabet(textRecogniserKeys())) {}

std::optional<RecognizedText> CtcRecogniser::read(const cv::Mat& rgb) {
  if (rgb.empty() || rgb.cols > kWidth || rgb.rows != kHeight || rgb.type() != CV_8UC3) return std::nullopt;
  // Trained on BGR pictures scaled to -1..1; the padding is mid grey, 0.
  cv::Mat canvas(kHeight, kWidth, CV_8UC3, cv::Scalar(128, 128, 128));
  cv::cvtColor(rgb, canvas(cv::Rect(0, 0, rgb.cols, kHeight)), cv::COLOR_RGB2BGR);
  net_.setInput(cv::dnn::blobFromImage(canvas, 1 / 127.5, cv::Size(), cv::Scalar(127.5, 127.5, 127.5)));
  cv::Mat output = net_.forward();  // 1 × steps × classes
  if (output.dims != 3 || output.size[2] != int(alphabet_.symbols.size()))
    throw Fail("text recogniser: the network's output does not match its symbols");
  return bestPath({output.ptr<float>(), output.total()}, alphabet_);
}
