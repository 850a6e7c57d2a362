#include "vision/onnx_elementwise.h"

#include <gtest/gtest.h>
#include <onnx/onnx_pb.h>

#include <opencv2/dnn.hpp>

#include "support/failure.h"
#include "support/onnx_graph.h"
#include "vision/hard_swish_layer.h"
#include "vision/onnx_net.h"

namespace {

constexpr int kChannels = 3;

// Departures from a hard-swish followed by a squeeze-and-excitation gate,
// as PP-OCR networks are exported.
struct Block {
  float added = 3, clippedTo = 6, divisor = 6;
  bool addSwapped = false, mulSwapped = false, gateFirst = false;
  bool clipAlsoOutput = false;   // the clipped sum is read outside the chain too
  bool paddedGate = false;       // the gate goes through a 3 x 3 convolution with padding
  bool gateIsItself = false;     // the product multiplies the tensor by itself
};

std::string blockModel(const Block& b) {
  onnx::GraphProto graph;
  onnx::ValueInfoProto& input = *graph.add_input();
  input.set_name(std::string("x"));
  auto& tensor = *input.mutable_type()->mutable_tensor_type();
  tensor.set_elem_type(onnx::TensorProto::FLOAT);
  for (int side : {1, kChannels, 5, 7}) tensor.mutable_shape()->add_dim()->set_dim_value(side);
  addConstant(graph, "added", {b.added});
  addConstant(graph, "divisor", {b.divisor});
  addNode(graph, "Add", b.addSwapped ? std::vector<std::string>{"added", "x"} : std::vector<std::string>{"x", "added"}, "sum");
  onnx::NodeProto& clip = addNode(graph, "Clip", {"sum"}, "clipped");
  addAttribute(clip, "min", 0.0f);
  addAttribute(clip, "max", b.clippedTo);
  addNode(graph, "Mul", b.mulSwapped ? std::vector<std::string>{"clipped", "x"} : std::vector<std::string>{"x", "clipped"}, "product");
  addNode(graph, "Div", {"product", "divisor"}, "swish");
  addNode(graph, "GlobalAveragePool", {"swish"}, "pooled");
  const int kernel = b.paddedGate ? 3 : 1;
  std::vector<float> weights(size_t(kChannels * kChannels * kernel * kernel));
  for (size_t i = 0; i < weights.size(); ++i) weights[i] = 0.3f * float(int(i % 7) - 3);
  addConstant(graph, "weights", weights, {kChannels, kChannels, kernel, kernel});
  onnx::NodeProto& conv = addNode(graph, "Conv", {"pooled", "weights"}, "squeezed");
  addAttribute(conv, "kernel_shape", {kernel, kernel});
  addAttribute(conv, "pads", b.paddedGate ? std::vector<int64_t>{1, 1, 1, 1} : std::vector<int64_t>{0, 0, 0, 0});
  onnx::NodeProto& sigmoid = addNode(graph, "HardSigmoid", {"squeezed"}, "gate");
  addAttribute(sigmoid, "alpha", 0.2f);
  addAttribute(sigmoid, "beta", 0.5f);
  const std::string gate = b.gateIsItself ? "swish" : "gate";
  addNode(graph, "Mul", b.gateFirst ? std::vector<std::string>{gate, "swish"} : std::vector<std::string>{"swish", gate}, "y");
  addValue(*graph.add_output(), "y", 4);
  if (b.clipAlsoOutput) addValue(*graph.add_output(), "clipped", 4);
  return modelBytes(graph, 11);
}

// The model's node types in order, Constant nodes left out.
std::string opTypes(const std::string& model) {
  onnx::ModelProto proto;
  proto.ParseFromString(model);
  std::string types;
  for (const auto& node : proto.graph().node())
    if (node.op_type() != "Constant") types += (types.empty() ? "" : " ") + node.op_type();
  return types;
}

cv::Mat outputOf(const std::string& model, const cv::Mat& input) {
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(model.data()), model.size());
  cv::dnn::Net net = onnxNet(bytes, "test model");
  net.setInput(input);
  return net.forward().clone();
}

TEST(WithFastElementwiseNodes, HardSwishAndGateComputeWhatTheChainsDid) {
  // The input runs over hard-swish's bends at -3 and 3 and both sides of
  // them; 105 values leave the last one over after every vector width, and
  // that one lies between the bends.
  cv::Mat input(std::vector<int>{1, kChannels, 5, 7}, CV_32F);
  for (size_t i = 0; i < input.total(); ++i) input.ptr<float>()[i] = -5.0f + 0.1f * float(i);
  input.ptr<float>()[20] = -3, input.ptr<float>()[80] = 3, input.ptr<float>()[50] = 0;
  input.ptr<float>()[104] = -2.9f;
  const std::string swished = std::string(kHardSwishLayer) + " GlobalAveragePool Conv HardSigmoid Scale";
  for (const Block& b : {Block{}, Block{.addSwapped = true}, Block{.mulSwapped = true}, Block{.gateFirst = true}}) {
    const std::string original = blockModel(b), rewritten = withFastElementwiseNodes(original);
    EXPECT_EQ(opTypes(rewritten), swished);
    const cv::Mat expected = outputOf(original, input), got = outputOf(rewritten, input);
    ASSERT_EQ(got.total(), expected.total());
    EXPECT_LT(cv::norm(got.reshape(1, 1), expected.reshape(1, 1), cv::NORM_INF), 1e-6);
  }
}

TEST(WithFastElementwiseNodes, LeavesWhatIsNotAHardSwishOrAGate) {
  const std::string chain = "Add Clip Mul Div", gate = "GlobalAveragePool Conv HardSigmoid";
  const std::string swish = kHardSwishLayer;
  const struct {
    const char* what;
    Block block;
    std::string types;
  } cases[] = {
      {"plus 2", {.added = 2}, chain + " " + gate + " Scale"},
      {"clipped to 5", {.clippedTo = 5}, chain + " " + gate + " Scale"},
      {"over 5", {.divisor = 5}, chain + " " + gate + " Scale"},
      {"clipped sum read elsewhere", {.clipAlsoOutput = true}, chain + " " + gate + " Scale"},
      {"gate through a padded 3 x 3 convolution", {.paddedGate = true}, swish + " " + gate + " Mul"},
      {"a tensor times itself", {.gateIsItself = true}, swish + " " + gate + " Mul"},
  };
  for (const auto& c : cases) EXPECT_EQ(opTypes(withFastElementwiseNodes(blockModel(c.block))), c.types) << c.what;
  EXPECT_EQ(failureOf([] { withFastElementwiseNodes("not a model"); }), "text model: the model cannot be parsed");
}

}  // namespace
