#include "vision/onnx_fixed_input.h"

#include <gtest/gtest.h>
#include <onnx/onnx_pb.h>

#include <opencv2/dnn.hpp>

#include "base/fail.h"
#include "support/failure.h"
#include "support/onnx_graph.h"

namespace {

// A sequence (batch × steps × 3 channels) scaled and shifted per channel, as
// a layer norm ends: y = x · (1, 2, 3) + (10, 20, 30).
std::string perChannelModel() {
  onnx::GraphProto graph;
  addValue(*graph.add_input(), "x", 3);
  addConstant(graph, "scale", {1, 2, 3});
  addConstant(graph, "shift", {10, 20, 30});
  addNode(graph, "Mul", {"x", "scale"}, "scaled");
  addNode(graph, "Add", {"scaled", "shift"}, "y");
  addValue(*graph.add_output(), "y", 3);
  return modelBytes(graph, 13);
}

TEST(WithFixedInput, PerChannelConstantsApplyAlongTheLastAxisOfEveryStep) {
  std::string model = withFixedInput(perChannelModel(), {1, 4, 3}, 4);
  cv::dnn::Net net = cv::dnn::readNetFromONNX(model.data(), model.size());
  cv::Mat x(std::vector<int>{1, 4, 3}, CV_32F);
  for (int i = 0; i < 12; ++i) x.ptr<float>()[i] = float(i);
  net.setInput(x);
  cv::Mat y = net.forward();
  ASSERT_EQ(y.total(), 12u);
  for (int step = 0; step < 4; ++step)
    for (int channel = 0; channel < 3; ++channel)
      EXPECT_FLOAT_EQ(y.ptr<float>()[step * 3 + channel], float(step * 3 + channel) * float(channel + 1) +
                                                               10.0f * float(channel + 1))
          << step << "," << channel;
}

TEST(WithFixedInput, RefusesWhatItCannotRewrite) {
  EXPECT_EQ(failureOf([] { withFixedInput("not a model", {1, 4, 3}, 4); }), "text model: the model cannot be parsed");
  EXPECT_EQ(failureOf([] { withFixedInput(perChannelModel(), {1, 3, 48, 192}, 24); }),
            "text model: the input has another rank");
}

}  // namespace
