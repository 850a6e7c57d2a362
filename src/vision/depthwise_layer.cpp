#include "vision/depthwise_layer.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/dnn/layer.details.hpp>

namespace {

class DepthwiseLayer : public cv::dnn::Layer {
 public:
  explicit DepthwiseLayer(const cv::dnn::LayerParams& params) : Layer(params) {
    strideY_ = params.get<int>("stride_h", 1);
    strideX_ = params.get<int>("stride_w", 1);
    sameAsTensorFlow_ = params.get<std::string>("pad_mode", "") == "SAME";
    if (blobs.empty() || blobs[0].dims != 4 || blobs[0].size[1] != 1 || blobs[0].type() != CV_32F ||
        !depthwiseLayerComputes(blobs[0].size[2], blobs[0].size[3], strideY_, strideX_, 1, 1))
      CV_Error(cv::Error::StsBadArg, "a 5 x 5 depthwise convolution needs C x 1 x 5 x 5 weights and strides of 1 or 2");
    channels_ = blobs[0].size[0];
    if (blobs.size() > 1 && blobs[1].total() != size_t(channels_))
      CV_Error(cv::Error::StsBadArg, "a 5 x 5 depthwise convolution needs one bias a channel");
  }

  static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams& params) {
    return cv::makePtr<DepthwiseLayer>(params);
  }

  bool getMemoryShapes(const std::vector<cv::dnn::MatShape>& inputs, int, std::vector<cv::dnn::MatShape>& outputs,
                       std::vector<cv::dnn::MatShape>&) const override {
    if (inputs.empty() || inputs[0].size() != 4 || inputs[0][1] != channels_)
      CV_Error(cv::Error::StsBadArg, "a 5 x 5 depthwise convolution takes N x C x H x W");
    cv::dnn::MatShape shape = inputs[0];
    shape[2] = outputSide(shape[2], strideY_);
    shape[3] = outputSide(shape[3], strideX_);
    outputs.assign(1, shape);
    return false;
  }

  void forward(cv::InputArrayOfArrays inputsArray, cv::OutputArrayOfArrays outputsArray,
               cv::OutputArrayOfArrays) override {
    std::vector<cv::Mat> inputs, outputs;
    inputsArray.getMatVector(inputs);
    outputsArray.getMatVector(outputs);
    const cv::Mat& in = inputs[0];
    cv::Mat& out = outputs[0];
    const int planes = in.size[0] * channels_;
    cv::parallel_for_(cv::Range(0, planes), [&](const cv::Range& range) {
      for (int plane = range.start; plane < range.end; ++plane) convolvePlane(in, out, plane);
    });
  }

 private:
  static int outputSide(int side, int stride) { return side <= 0 ? side : (side - 1) / stride + 1; }

  // Zeros before the first input along a side: 2, or as TensorFlow's SAME
  // padding puts them, half of what the outputs need rounded down (1 at a
  // stride of 2 over an even side).
  int padBefore(int side, int outputs, int stride) const {
    if (!sameAsTensorFlow_) return 2;
    return std::max((outputs - 1) * stride + 5 - side, 0) / 2;
  }

  // One channel of one picture. Where the columns are not strided, the
  // outputs whose inputs lie inside their rows are summed four at a time in
  // a register; the rest (two columns at each side, and every column of a
  // stride of 2 along the row) one at a time.
  void convolvePlane(const cv::Mat& in, cv::Mat& out, int plane) const {
    const int channel = plane % channels_;
    const int rows = in.size[2], cols = in.size[3], outRows = out.size[2], outCols = out.size[3];
    const int padTop = padBefore(rows, outRows, strideY_), padLeft = padBefore(cols, outCols, strideX_);
    const float* source = in.ptr<float>() + size_t(plane) * rows * cols;
    float* target = out.ptr<float>() + size_t(plane) * outRows * outCols;
    const float* weights = blobs[0].ptr<float>() + size_t(channel) * 25;
    const float bias = blobs.size() > 1 ? blobs[1].ptr<float>()[channel] : 0.0f;
    cv::v_float32 taps[25];
    for (int k = 0; k < 25; ++k) taps[k] = cv::vx_setall_f32(weights[k]);
    for (int y = 0; y < outRows; ++y) {
      float* row = target + size_t(y) * outCols;
      const int top = y * strideY_ - padTop;
      int x = 0;
      if (strideX_ == 1 && padLeft == 2) {
        // Columns whose inputs all lie in the row: x − 2 >= 0 and x + 2 < cols.
        for (; x < std::min(2, outCols); ++x) row[x] = output(source, rows, cols, weights, bias, top, x - 2);
        const int firstRow = std::max(0, -top), endRow = std::min(5, rows - top);
        for (; x + cv::v_float32::nlanes + 2 <= cols; x += cv::v_float32::nlanes) {
          cv::v_float32 sum = cv::vx_setall_f32(bias);
          for (int ky = firstRow; ky < endRow; ++ky) {
            const float* line = source + size_t(top + ky) * cols + x - 2;
            for (int kx = 0; kx < 5; ++kx) sum = cv::v_muladd(cv::vx_load(line + kx), taps[ky * 5 + kx], sum);
          }
          cv::v_store(row + x, sum);
        }
      }
      for (; x < outCols; ++x) row[x] = output(source, rows, cols, weights, bias, top, x * strideX_ - padLeft);
    }
  }

  // The output whose 5 × 5 inputs start at row `top` and column `left`,
  // those outside the picture taken as 0.
  static float output(const float* source, int rows, int cols, const float* weights, float bias, int top,
                      int left) {
    float sum = bias;
    for (int ky = std::max(0, -top); ky < 5 && top + ky < rows; ++ky) {
      const float* line = source + size_t(top + ky) * cols;
      for (int kx = std::max(0, -left); kx < 5 && left + kx < cols; ++kx) sum += weights[ky * 5 + kx] * line[left + kx];
    }
    return sum;
  }

  int strideY_ = 1, strideX_ = 1, channels_ = 0;
  bool sameAsTensorFlow_ = false;
};

}  // namespace

void registerDepthwiseLayer() {
  static std::once_flag registered;
  std::call_once(registered, [] { cv::dnn::LayerFactory::registerLayer(kDepthwiseLayer, DepthwiseLayer::create); });
}
