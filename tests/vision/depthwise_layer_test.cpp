#include "vision/depthwise_layer.h"

#include <gtest/gtest.h>
#include <onnx/onnx_pb.h>

#include <opencv2/dnn.hpp>

#include "support/failure.h"
#include "vision/onnx_depthwise.h"

namespace {

void addInts(onnx::NodeProto& node, const char* name, std::vector<int64_t> values) {
  onnx::AttributeProto& attribute = *node.add_attribute();
  attribute.set_name(name);
  attribute.set_type(onnx::AttributeProto::INTS);
  for (int64_t value : values) attribute.add_ints(value);
}

void addFloats(onnx::GraphProto& graph, const std::string& name, std::vector<int64_t> dims, cv::RNG& random) {
  onnx::TensorProto& tensor = *graph.add_initializer();
  tensor.set_name(name);
  tensor.set_data_type(onnx::TensorProto::FLOAT);
  int64_t count = 1;
  for (int64_t side : dims) tensor.add_dims(side), count *= side;
  for (int64_t i = 0; i < count; ++i) tensor.add_float_data(random.uniform(-1.0f, 1.0f));
}

struct Conv {
  int channels = 6, kernel = 5, group = 6, pad = 2;
  std::vector<int64_t> strides = {1, 1};
  bool bias = true;
  std::vector<int> input = {1, 6, 7, 19};  // N, C, H, W
};

// One convolution of `conv.input` (N × C × H × W), with random weights.
std::string convModel(const Conv& conv) {
  cv::RNG random(7);
  onnx::ModelProto model;
  model.set_ir_version(7);
  model.add_opset_import()->set_version(11);
  onnx::GraphProto& graph = *model.mutable_graph();
  for (auto* value : {graph.add_input(), graph.add_output()}) {
    const bool input = value == &graph.input(0);
    value->set_name(input ? "x" : "y");
    auto& tensor = *value->mutable_type()->mutable_tensor_type();
    tensor.set_elem_type(onnx::TensorProto::FLOAT);
    for (int i = 0; i < 4; ++i) {
      auto& dim = *tensor.mutable_shape()->add_dim();
      if (input) dim.set_dim_value(conv.input[size_t(i)]);
      else dim.set_dim_param(std::string(1, char('a' + i)));
    }
  }
  addFloats(graph, "weights", {conv.channels, conv.channels / conv.group, conv.kernel, conv.kernel}, random);
  // Names as strings: GCC 12 at -O3 warns falsely (-Wrestrict) about the
  // protobuf setters that take C strings here.
  const std::string op = "Conv", x = "x", weights = "weights", bias = "bias", y = "y";
  onnx::NodeProto& node = *graph.add_node();
  node.set_op_type(op);
  node.add_input(x);
  node.add_input(weights);
  if (conv.bias) {
    addFloats(graph, bias, {conv.channels}, random);
    node.add_input(bias);
  }
  node.add_output(y);
  addInts(node, "kernel_shape", {conv.kernel, conv.kernel});
  addInts(node, "pads", {conv.pad, conv.pad, conv.pad, conv.pad});
  addInts(node, "strides", conv.strides);
  addInts(node, "dilations", {1, 1});
  onnx::AttributeProto& group = *node.add_attribute();
  group.set_name("group");
  group.set_type(onnx::AttributeProto::INT);
  group.set_i(conv.group);
  std::string bytes;
  model.SerializeToString(&bytes);
  return bytes;
}

cv::Mat outputOf(const std::string& model, const cv::Mat& input) {
  cv::dnn::Net net = cv::dnn::readNetFromONNX(model.data(), model.size());
  net.setInput(input);
  return net.forward().clone();
}

std::string opTypeOf(const std::string& model) {
  onnx::ModelProto proto;
  proto.ParseFromString(model);
  return proto.graph().node(0).op_type();
}

TEST(DepthwiseLayer, ComputesWhatOpenCvsOwnConvolutionDoes) {
  registerDepthwiseLayer();
  registerDepthwiseLayer();  // a second call changes nothing
  const struct {
    std::vector<int64_t> strides;
    bool bias;
    std::vector<int> input;  // N, C, H, W
  } cases[] = {
      {{1, 1}, true, {1, 6, 7, 19}},   {{1, 1}, false, {2, 6, 6, 48}}, {{2, 1}, true, {1, 6, 6, 24}},
      {{2, 1}, true, {1, 6, 7, 5}},    {{2, 2}, true, {1, 6, 13, 23}}, {{1, 2}, false, {1, 6, 4, 9}},
      {{1, 1}, true, {1, 6, 1, 1}},    {{2, 2}, true, {1, 6, 2, 3}},
  };
  for (const auto& c : cases) {
    const std::string original = convModel({.strides = c.strides, .bias = c.bias, .input = c.input});
    const std::string rewritten = withDepthwiseNodes(original);
    ASSERT_EQ(opTypeOf(rewritten), kDepthwiseLayer);
    cv::Mat input(c.input, CV_32F);
    cv::randu(input, -1, 1);
    const cv::Mat expected = outputOf(original, input), got = outputOf(rewritten, input);
    ASSERT_EQ(std::vector<int>(got.size.p, got.size.p + got.dims), std::vector<int>(expected.size.p, expected.size.p + expected.dims))
        << c.input[2] << "x" << c.input[3];
    EXPECT_LT(cv::norm(got.reshape(1, 1), expected.reshape(1, 1), cv::NORM_INF), 1e-5)
        << "strides " << c.strides[0] << "," << c.strides[1] << " input " << c.input[2] << "x" << c.input[3];
  }
}

// The output of one layer of `type` built directly, as the TF.js importer
// builds them: a 5 × 5 depthwise convolution of 6 channels with TensorFlow's
// SAME padding.
cv::Mat sameConvolution(const char* type, int strideY, int strideX, const cv::Mat& input) {
  cv::RNG random(3);
  cv::dnn::LayerParams params;
  params.set("kernel_h", 5);
  params.set("kernel_w", 5);
  params.set("stride_h", strideY);
  params.set("stride_w", strideX);
  params.set("pad_mode", "SAME");
  params.set("num_output", 6);
  params.set("group", 6);
  params.set("bias_term", true);
  cv::Mat weights(std::vector<int>{6, 1, 5, 5}, CV_32F), bias(1, 6, CV_32F);
  random.fill(weights, cv::RNG::UNIFORM, -1, 1);
  random.fill(bias, cv::RNG::UNIFORM, -1, 1);
  params.blobs = {weights, bias};
  cv::dnn::Net net;
  net.addLayerToPrev("conv", type, params);
  net.setInput(input);
  return net.forward().clone();
}

TEST(DepthwiseLayer, PadsAsTensorFlowDoesInSameMode) {
  registerDepthwiseLayer();
  // At a stride of 2, an even side gets 1 zero before it and an odd one 2.
  for (auto [strideY, strideX] : {std::pair{1, 1}, {2, 2}, {2, 1}})
    for (auto [rows, cols] : {std::pair{8, 10}, {9, 11}, {2, 2}, {17, 30}}) {
      cv::Mat input(std::vector<int>{1, 6, rows, cols}, CV_32F);
      cv::randu(input, -1, 1);
      const cv::Mat expected = sameConvolution("Convolution", strideY, strideX, input);
      const cv::Mat got = sameConvolution(kDepthwiseLayer, strideY, strideX, input);
      ASSERT_EQ(got.total(), expected.total()) << rows << "x" << cols;
      EXPECT_LT(cv::norm(got.reshape(1, 1), expected.reshape(1, 1), cv::NORM_INF), 1e-5)
          << "strides " << strideY << "," << strideX << " input " << rows << "x" << cols;
    }
}

TEST(DepthwiseLayer, OtherConvolutionsAreLeftToOpenCv) {
  const struct {
    const char* what;
    Conv conv;
  } cases[] = {
      {"3 x 3 depthwise", {.kernel = 3, .pad = 1}},
      {"5 x 5 over all channels", {.group = 1}},
      {"5 x 5 grouped in twos", {.group = 3}},
      {"padding 1", {.pad = 1}},
      {"stride 3", {.strides = {3, 3}}},
  };
  for (const auto& c : cases) EXPECT_EQ(opTypeOf(withDepthwiseNodes(convModel(c.conv))), "Conv") << c.what;
  EXPECT_EQ(failureOf([] { withDepthwiseNodes("not a model"); }), "text model: the model cannot be parsed");
}

}  // namespace
