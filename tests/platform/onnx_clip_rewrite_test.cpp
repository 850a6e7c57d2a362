#include "platform/onnx_clip_rewrite.h"

#include <gtest/gtest.h>
#include <onnx/onnx_pb.h>

#include <cstring>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/dnn.hpp>

#include "app/fail.h"
#include "platform/embedded_models.h"

namespace {

onnx::TensorProto scalar(const std::string& name, float value, bool raw) {
  onnx::TensorProto tensor;
  tensor.set_name(name);
  tensor.set_data_type(onnx::TensorProto::FLOAT);
  if (raw)
    tensor.set_raw_data(std::string(reinterpret_cast<const char*>(&value), sizeof value));
  else
    tensor.add_float_data(value);
  return tensor;
}

// y = Clip(x, lo, hi) on a 1×1×1×4 input, the bounds given as a Constant node
// (lo) and an initialiser (hi), the way converters emit opset-11 graphs.
std::string clipModel(float lo, float hi) {
  onnx::ModelProto model;
  model.set_ir_version(7);
  model.add_opset_import()->set_version(11);
  onnx::GraphProto& graph = *model.mutable_graph();
  graph.set_name("clip");
  for (auto [name, isInput] : {std::pair{"x", true}, std::pair{"y", false}}) {
    onnx::ValueInfoProto& info = isInput ? *graph.add_input() : *graph.add_output();
    info.set_name(name);
    auto& tensor = *info.mutable_type()->mutable_tensor_type();
    tensor.set_elem_type(onnx::TensorProto::FLOAT);
    for (int side : {1, 1, 1, 4}) tensor.mutable_shape()->add_dim()->set_dim_value(side);
  }
  onnx::NodeProto& constant = *graph.add_node();
  constant.set_op_type("Constant");
  constant.add_output("lo");
  onnx::AttributeProto& value = *constant.add_attribute();
  value.set_name("value");
  value.set_type(onnx::AttributeProto::TENSOR);
  *value.mutable_t() = scalar("", lo, true);
  *graph.add_initializer() = scalar("hi", hi, false);
  onnx::NodeProto& clip = *graph.add_node();
  clip.set_op_type("Clip");
  clip.add_input("x");
  clip.add_input("lo");
  clip.add_input("hi");
  clip.add_output("y");
  std::string bytes;
  model.SerializeToString(&bytes);
  return bytes;
}

std::span<const uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(OnnxClipRewrite, OpenCvRejectsBoundsAsInputs) {
  std::string model = clipModel(-1, 2);
  auto level = cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  EXPECT_ANY_THROW(cv::dnn::readNetFromONNX(model.data(), model.size()));
  cv::utils::logging::setLogLevel(level);
}

TEST(OnnxClipRewrite, RewrittenClipLoadsAndClips) {
  std::string model = clipBoundsAsAttributes(bytesOf(clipModel(-1, 2)));
  cv::dnn::Net net = cv::dnn::readNetFromONNX(model.data(), model.size());
  int shape[] = {1, 1, 1, 4};
  cv::Mat input(4, shape, CV_32F);
  float values[] = {-3.5f, -1.0f, 0.25f, 7.0f};
  std::memcpy(input.ptr<float>(), values, sizeof values);
  net.setInput(input);
  cv::Mat output = net.forward();
  ASSERT_EQ(output.total(), 4u);
  const float* y = output.ptr<float>();
  EXPECT_FLOAT_EQ(y[0], -1.0f);
  EXPECT_FLOAT_EQ(y[1], -1.0f);
  EXPECT_FLOAT_EQ(y[2], 0.25f);
  EXPECT_FLOAT_EQ(y[3], 2.0f);
}

TEST(OnnxClipRewrite, BoundsBecomeAttributesAndUnusedConstantsGo) {
  onnx::ModelProto model;
  ASSERT_TRUE(model.ParseFromString(clipBoundsAsAttributes(bytesOf(clipModel(0, 6)))));
  ASSERT_EQ(model.graph().node_size(), 1);
  const auto& clip = model.graph().node(0);
  EXPECT_EQ(clip.input_size(), 1);
  ASSERT_EQ(clip.attribute_size(), 2);
  EXPECT_EQ(clip.attribute(0).name(), "min");
  EXPECT_EQ(clip.attribute(0).f(), 0.0f);
  EXPECT_EQ(clip.attribute(1).name(), "max");
  EXPECT_EQ(clip.attribute(1).f(), 6.0f);
}

TEST(OnnxClipRewrite, NonConstantBoundFails) {
  onnx::ModelProto model;
  model.ParseFromString(clipModel(0, 1));
  model.mutable_graph()->mutable_node(1)->set_input(2, "x");  // bound from the data itself
  std::string bytes;
  model.SerializeToString(&bytes);
  EXPECT_THROW(clipBoundsAsAttributes(bytesOf(bytes)), Fail);
}

TEST(OnnxClipRewrite, GarbageFails) {
  std::string garbage = "this is not a model";
  EXPECT_THROW(clipBoundsAsAttributes(bytesOf(garbage)), Fail);
}

TEST(OnnxClipRewrite, TextDetectorKeepsNoClipWithBoundInputs) {
  onnx::ModelProto model;
  ASSERT_TRUE(model.ParseFromString(clipBoundsAsAttributes(textDetectorOnnx())));
  int clips = 0;
  for (const auto& node : model.graph().node())
    if (node.op_type() == "Clip") {
      ++clips;
      EXPECT_EQ(node.input_size(), 1);
    }
  EXPECT_EQ(clips, 24);
}

}  // namespace
