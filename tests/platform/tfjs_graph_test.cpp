#include "platform/tfjs_graph.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/fail.h"

namespace {

using nlohmann::json;

std::string base64(const std::string& text) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < text.size(); i += 3) {
    unsigned v = (uint8_t(text[i]) << 16) | (uint8_t(text[i + 1]) << 8) | uint8_t(text[i + 2]);
    for (int k = 3; k >= 0; --k) out += digits[(v >> (6 * k)) & 63];
  }
  if (i + 1 == text.size()) {
    unsigned v = uint8_t(text[i]) << 16;
    out += std::string{digits[v >> 18], digits[(v >> 12) & 63]} + "==";
  } else if (i + 2 == text.size()) {
    unsigned v = (uint8_t(text[i]) << 16) | (uint8_t(text[i + 1]) << 8);
    out += std::string{digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63]} + "=";
  }
  return out;
}

json text(const std::string& s) { return {{"s", base64(s)}}; }
json ints(std::vector<int> v) {
  json list = json::array();
  for (int i : v) list.push_back(std::to_string(i));
  return {{"list", {{"i", list}}}};
}

// A graph model written by hand: nodes, and constants stored as float32
// unless told otherwise.
struct HandGraph {
  json nodes = json::array();
  json manifest = json::array();
  std::vector<uint8_t> bytes;

  HandGraph() { node("in", "Placeholder", {}); }

  void node(const std::string& name, const std::string& op, std::vector<std::string> inputs, json attr = json::object()) {
    nodes.push_back({{"name", name}, {"op", op}, {"input", inputs}, {"attr", attr}});
  }
  void constant(const std::string& name, std::vector<int> shape, std::vector<float> values) {
    node(name, "Const", {});
    manifest.push_back({{"name", name}, {"shape", shape}, {"dtype", "float32"}});
    for (float v : values) {
      uint8_t b[4];
      std::memcpy(b, &v, 4);
      bytes.insert(bytes.end(), b, b + 4);
    }
  }
  void rawConstant(const std::string& name, std::vector<int> shape, json entry, std::vector<uint8_t> raw) {
    node(name, "Const", {});
    entry["name"] = name;
    entry["shape"] = shape;
    manifest.push_back(entry);
    bytes.insert(bytes.end(), raw.begin(), raw.end());
  }
  std::string model() const {
    json m = {{"format", "graph-model"},
              {"modelTopology", {{"node", nodes}}},
              {"weightsManifest", json::array({{{"paths", {"w.bin"}}, {"weights", manifest}}})}};
    return m.dump();
  }
  TfjsGraph read() const {
    std::string m = model();
    return readTfjsGraph({reinterpret_cast<const uint8_t*>(m.data()), m.size()}, bytes);
  }
};

// Runs `output` of the graph on an NHWC input and returns the result in NHWC
// order.
std::vector<float> run(const HandGraph& g, const std::string& output, int h, int w, int c, const std::vector<float>& nhwc,
                       std::vector<int>* shape = nullptr) {
  ImportedNet net = buildNet(g.read(), {output});
  int sizes[] = {1, c, h, w};
  cv::Mat blob(4, sizes, CV_32F);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < c; ++k) blob.ptr<float>()[(k * h + y) * w + x] = nhwc[(y * w + x) * c + k];
  net.net.setInput(blob);
  cv::Mat out = net.net.forward(net.outputLayers[0]);
  int oc = out.size[1], oh = out.size[2], ow = out.size[3];
  if (shape) *shape = {oh, ow, oc};
  std::vector<float> result(size_t(oc) * oh * ow);
  for (int y = 0; y < oh; ++y)
    for (int x = 0; x < ow; ++x)
      for (int k = 0; k < oc; ++k) result[(y * ow + x) * oc + k] = out.ptr<float>()[(k * oh + y) * ow + x];
  return result;
}

json convAttr(int stride, const std::string& padding, std::vector<std::string> fused = {}) {
  json attr = {{"strides", ints({1, stride, stride, 1})}, {"padding", text(padding)}, {"data_format", text("NHWC")}};
  if (!fused.empty()) {
    json list = json::array();
    for (auto& f : fused) list.push_back(base64(f));
    attr["fused_ops"] = {{"list", {{"s", list}}}};
    attr["num_args"] = {{"i", "1"}};
  }
  return attr;
}

std::vector<float> ramp(int n) {
  std::vector<float> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[size_t(i)] = float(i);
  return v;
}

TEST(TfjsGraph, DecodesFloat16AndQuantisedWeights) {
  HandGraph g;
  // 1.5, -2 and the half nearest to 0.1, little-endian.
  g.rawConstant("half", {3}, {{"dtype", "float32"}, {"quantization", {{"dtype", "float16"}, {"original_dtype", "float32"}}}},
                {0x00, 0x3e, 0x00, 0xc0, 0x66, 0x2e});
  g.rawConstant("bytes", {3}, {{"dtype", "float32"}, {"quantization", {{"dtype", "uint8"}, {"scale", 0.5}, {"min", -1.0}}}},
                {0, 4, 255});
  g.rawConstant("index", {}, {{"dtype", "int32"}}, {0xfe, 0xff, 0xff, 0xff});
  TfjsGraph graph = g.read();
  EXPECT_EQ(graph.constants["half"].values, (std::vector<float>{1.5f, -2.0f, 0.0999755859375f}));
  EXPECT_EQ(graph.constants["bytes"].values, (std::vector<float>{-1.0f, 1.0f, 126.5f}));
  EXPECT_EQ(graph.constants["index"].values, (std::vector<float>{-2.0f}));
  EXPECT_TRUE(graph.constants["index"].shape.empty());
  EXPECT_EQ(graph.nodes.at("in").op, "Placeholder");
}

TEST(TfjsGraph, RejectsMalformedInput) {
  HandGraph g;
  g.constant("k", {2}, {1, 2});
  std::string m = g.model();
  std::span<const uint8_t> model{reinterpret_cast<const uint8_t*>(m.data()), m.size()};
  EXPECT_THROW(readTfjsGraph(model, std::span(g.bytes).first(7)), Fail);  // one byte short
  std::string broken = "{\"modelTopology\": ";
  EXPECT_THROW(readTfjsGraph({reinterpret_cast<const uint8_t*>(broken.data()), broken.size()}, g.bytes), Fail);
  std::string noNodes = "{\"weightsManifest\": []}";
  EXPECT_THROW(readTfjsGraph({reinterpret_cast<const uint8_t*>(noNodes.data()), noNodes.size()}, g.bytes), Fail);

  HandGraph strings;
  strings.rawConstant("s", {1}, {{"dtype", "string"}}, {});
  EXPECT_THROW(strings.read(), Fail);
}

TEST(TfjsGraph, StridedSamePaddingPadsOnlyBottomAndRight) {
  // 4 × 4 ramp, 3 × 3 filter of ones, stride 2: TensorFlow pads one row and
  // one column after the picture, none before.
  HandGraph g;
  g.constant("w", {3, 3, 1, 1}, std::vector<float>(9, 1.0f));
  g.constant("b", {1}, {-40});
  g.node("conv", "_FusedConv2D", {"in", "w", "b"}, convAttr(2, "SAME", {"BiasAdd", "Relu"}));
  std::vector<int> shape;
  EXPECT_EQ(run(g, "conv", 4, 4, 1, ramp(16), &shape), (std::vector<float>{5, 0, 26, 10}));
  EXPECT_EQ(shape, (std::vector<int>{2, 2, 1}));
}

TEST(TfjsGraph, ConvolutionFiltersAreTransposedFromHwio) {
  // 1 × 1 filter, in 2 channels, out 3: out[o] = w[0][o]·a + w[1][o]·b.
  HandGraph g;
  g.constant("w", {1, 1, 2, 3}, {1, 2, 3, 4, 5, 6});
  g.node("conv", "Conv2D", {"in", "w"}, convAttr(1, "VALID"));
  EXPECT_EQ(run(g, "conv", 1, 1, 2, {1, 10}), (std::vector<float>{41, 52, 63}));
}

TEST(TfjsGraph, DepthwiseMultiplierOrdersOutputsByChannelThenMultiplier) {
  HandGraph g;
  g.constant("w", {1, 1, 2, 2}, {2, 3, 5, 7});  // channel 0 × {2, 3}, channel 1 × {5, 7}
  g.constant("b", {4}, {0, 0, 0, 100});
  g.node("dw", "FusedDepthwiseConv2dNative", {"in", "w", "b"}, convAttr(1, "SAME", {"BiasAdd", "Relu6"}));
  g.node("plain", "DepthwiseConv2dNative", {"in", "w"}, convAttr(1, "SAME"));
  EXPECT_EQ(run(g, "dw", 1, 1, 2, {1, -1}), (std::vector<float>{2, 3, 0, 6}));
  EXPECT_EQ(run(g, "plain", 1, 1, 2, {1, -1}), (std::vector<float>{2, 3, -5, -7}));
}

TEST(TfjsGraph, HardSwishPatternBecomesOneLayer) {
  HandGraph g;
  g.rawConstant("sixth", {}, {{"dtype", "float32"}, {"quantization", {{"dtype", "float16"}}}}, {0x55, 0x31});  // ≈ 1/6
  g.constant("three", {}, {3});
  g.node("scaled", "Mul", {"sixth", "in"});
  g.node("shifted", "Add", {"in", "three"});
  g.node("clipped", "Relu6", {"shifted"});
  g.node("swish", "Mul", {"scaled", "clipped"});
  std::vector<float> out = run(g, "swish", 1, 5, 1, {-4, -1, 0, 2, 5});
  std::vector<float> expected = {0, -1.0f / 3, 0, 5.0f / 3, 5};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(out[i], expected[i], 1e-5) << i;
  ImportedNet net = buildNet(g.read(), {"swish"});
  EXPECT_EQ(net.net.getLayer(net.outputLayers[0])->type, "HardSwish");
}

TEST(TfjsGraph, ScalarArithmeticAndActivationsWithoutThePattern) {
  // Like hard swish but scaled by 0.2: computed step by step.
  HandGraph g;
  g.constant("fifth", {}, {0.2f});
  g.constant("three", {}, {3});
  g.node("scaled", "Mul", {"fifth", "in"});
  g.node("shifted", "AddV2", {"in", "three"});
  g.node("clipped", "Relu6", {"shifted"});
  g.node("product", "Mul", {"scaled", "clipped"});
  g.node("squashed", "Sigmoid", {"in"});
  g.node("rectified", "Relu", {"in"});
  std::vector<float> x = {-4, -1, 0, 2, 5};
  std::vector<float> out = run(g, "product", 1, 5, 1, x);
  std::vector<float> squashed = run(g, "squashed", 1, 5, 1, x);
  std::vector<float> rectified = run(g, "rectified", 1, 5, 1, x);
  for (size_t i = 0; i < x.size(); ++i) {
    EXPECT_NEAR(out[i], x[i] * 0.2f * std::min(6.0f, std::max(0.0f, x[i] + 3)), 1e-5) << i;
    EXPECT_NEAR(squashed[i], 1 / (1 + std::exp(-x[i])), 1e-6) << i;
    EXPECT_EQ(rectified[i], std::max(0.0f, x[i])) << i;
  }
  ImportedNet net = buildNet(g.read(), {"product"});
  EXPECT_EQ(net.net.getLayer(net.outputLayers[0])->type, "Eltwise");
}

TEST(TfjsGraph, SqueezeExciteGateScalesEachChannelByItsMean) {
  // 2 × 2 × 2 input; channel means 1.5 and 10; gate = mean, broadcast back.
  HandGraph g;
  g.constant("axes", {2}, {1, 2});
  g.node("mean", "Mean", {"in", "axes"}, {{"keep_dims", {{"b", true}}}});
  g.node("gate", "Mul", {"mean", "in"});
  g.node("offset", "Add", {"in", "mean"});
  std::vector<float> x = {0, 10, 1, 10, 2, 10, 3, 10};
  std::vector<int> shape;
  EXPECT_EQ(run(g, "mean", 2, 2, 2, x, &shape), (std::vector<float>{1.5f, 10}));
  EXPECT_EQ(shape, (std::vector<int>{1, 1, 2}));
  EXPECT_EQ(run(g, "gate", 2, 2, 2, x), (std::vector<float>{0, 100, 1.5f, 100, 3, 100, 4.5f, 100}));
  EXPECT_EQ(run(g, "offset", 2, 2, 2, x), (std::vector<float>{1.5f, 20, 2.5f, 20, 3.5f, 20, 4.5f, 20}));
}

TEST(TfjsGraph, ConcatAlongChannelsAndElementwiseSum) {
  HandGraph g;
  g.constant("axis", {}, {3});
  g.constant("two", {}, {2});
  g.node("doubled", "Mul", {"in", "two"});
  g.node("joined", "ConcatV2", {"in", "doubled", "axis"});
  g.node("sum", "Add", {"in", "doubled"});
  EXPECT_EQ(run(g, "joined", 1, 2, 1, {1, 2}), (std::vector<float>{1, 2, 2, 4}));
  EXPECT_EQ(run(g, "sum", 1, 2, 1, {1, 2}), (std::vector<float>{3, 6}));
}

TEST(TfjsGraph, LegacyBilinearResizeSamplesFromTheTopLeftCorner) {
  HandGraph g;
  g.constant("size", {2}, {4, 4});
  g.node("up", "ResizeBilinear", {"in", "size"}, {{"align_corners", {{"b", false}}}, {"half_pixel_centers", {{"b", false}}}});
  std::vector<float> expected = {0, 0.5f, 1, 1, 1, 1.5f, 2, 2, 2, 2.5f, 3, 3, 2, 2.5f, 3, 3};
  EXPECT_EQ(run(g, "up", 2, 2, 1, {0, 1, 2, 3}), expected);
}

TEST(TfjsGraph, ResizeToAMultipleOfTheDeclaredSizeFollowsOtherInputSizes) {
  // Declared 2 × 2, resized to 4 × 4: a zoom by 2, so a 3 × 1 input gives 6 × 2.
  HandGraph g;
  json dims = json::array({{{"size", "1"}}, {{"size", "2"}}, {{"size", "2"}}, {{"size", "1"}}});
  g.nodes[0]["attr"]["shape"] = {{"shape", {{"dim", dims}}}};
  g.constant("size", {2}, {4, 4});
  g.constant("odd", {2}, {3, 3});
  g.node("up", "ResizeBilinear", {"in", "size"});
  g.node("fixed", "ResizeBilinear", {"in", "odd"});
  std::vector<int> shape;
  EXPECT_EQ(run(g, "up", 3, 1, 1, {0, 1, 2}, &shape), (std::vector<float>{0, 0, 0.5f, 0.5f, 1, 1, 1.5f, 1.5f, 2, 2, 2, 2}));
  EXPECT_EQ(shape, (std::vector<int>{6, 2, 1}));
  run(g, "fixed", 3, 1, 1, {0, 1, 2}, &shape);
  EXPECT_EQ(shape, (std::vector<int>{3, 3, 1}));
}

TEST(TfjsGraph, BuildsOnlyWhatTheOutputsNeedAndFollowsIdentities) {
  HandGraph g;
  g.constant("two", {}, {2});
  g.node("doubled", "Mul", {"in", "two"});
  g.node("named", "Identity", {"doubled"});
  g.node("odd", "TopKV2", {"doubled", "two"});  // not needed for "named"
  ImportedNet net = buildNet(g.read(), {"named"});
  EXPECT_EQ(net.outputLayers, (std::vector<std::string>{"doubled"}));
  EXPECT_EQ(run(g, "named", 1, 1, 1, {4}), (std::vector<float>{8}));
  EXPECT_THROW(buildNet(g.read(), {"odd"}), Fail);
  EXPECT_THROW(buildNet(g.read(), {"missing"}), Fail);
  EXPECT_THROW(buildNet(g.read(), {"in"}), Fail);
}

TEST(TfjsGraph, RejectsWhatItCannotExpress) {
  HandGraph g;
  g.constant("w", {1, 1, 1, 1}, {1});
  g.constant("b", {1}, {0});
  g.constant("axes", {1}, {3});
  g.constant("vector", {2}, {1, 2});
  g.node("explicit", "Conv2D", {"in", "w"}, convAttr(1, "EXPLICIT"));
  g.node("nchw", "Conv2D", {"in", "w"}, {{"data_format", text("NCHW")}});
  g.node("batchnorm", "_FusedConv2D", {"in", "w", "b"}, convAttr(1, "SAME", {"FusedBatchNorm"}));
  g.node("channelMean", "Mean", {"in", "axes"}, {{"keep_dims", {{"b", true}}}});
  g.node("vectorMul", "Mul", {"in", "vector"});
  g.node("computedFilter", "Conv2D", {"in", "in"}, convAttr(1, "SAME"));
  for (const char* name : {"explicit", "nchw", "batchnorm", "channelMean", "vectorMul", "computedFilter"})
    EXPECT_THROW(buildNet(g.read(), {name}), Fail) << name;
}

}  // namespace
