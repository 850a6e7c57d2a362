#include "platform/tfjs_graph.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "app/fail.h"

namespace {

using nlohmann::json;

// Attribute texts, base64-encoded as converters store them.
const std::map<std::string, std::string> encoded = {
    {"SAME", "U0FNRQ=="}, {"EXPLICIT", "RVhQTElDSVQ="}, {"NCHW", "TkNIVw=="}, {"BiasAdd", "Qmlhc0FkZA=="},
    {"Relu", "UmVsdQ=="}, {"Relu6", "UmVsdTY="},         {"FusedBatchNorm", "RnVzZWRCYXRjaE5vcm0="}};

std::span<const uint8_t> bytesOf(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// A graph model written by hand; its input node is "in".
struct HandGraph {
  json nodes = json::array(), manifest = json::array();
  std::vector<uint8_t> bytes;
  HandGraph() { node("in", "Placeholder", {}); }
  void node(const std::string& name, const std::string& op, std::vector<std::string> inputs,
            json attr = json::object()) {
    nodes.push_back({{"name", name}, {"op", op}, {"input", inputs}, {"attr", attr}});
  }
  // A constant stored as the manifest `entry` says.
  void raw(const std::string& name, std::vector<int> shape, json entry, std::vector<uint8_t> data) {
    node(name, "Const", {});
    entry["name"] = name;
    entry["shape"] = shape;
    manifest.push_back(entry);
    bytes.insert(bytes.end(), data.begin(), data.end());
  }
  void constant(const std::string& name, std::vector<int> shape, std::vector<float> values) {
    std::vector<uint8_t> data(values.size() * 4);
    std::memcpy(data.data(), values.data(), data.size());
    raw(name, shape, {{"dtype", "float32"}}, data);
  }
  std::string model() const {
    json groups = json::array({{{"paths", {"w.bin"}}, {"weights", manifest}}});
    return json{{"format", "graph-model"}, {"modelTopology", {{"node", nodes}}}, {"weightsManifest", groups}}.dump();
  }
  TfjsGraph read() const { return readTfjsGraph(bytesOf(model()), bytes); }
};

// Attributes of a convolution: its stride, padding and fused operations.
json conv(int stride, const std::string& padding, std::vector<std::string> fused = {}) {
  std::string step = std::to_string(stride);
  json attr = {{"strides", {{"list", {{"i", {"1", step, step, "1"}}}}}}, {"padding", {{"s", encoded.at(padding)}}}};
  for (auto& f : fused) attr["fused_ops"]["list"]["s"].push_back(encoded.at(f));
  return attr;
}

// Runs `output` on an h × w × c input; returns the result and its
// {height, width, channels}, both in NHWC order.
std::pair<std::vector<float>, std::vector<int>> run(const HandGraph& g, const std::string& output, int h, int w, int c,
                                                    std::vector<float> nhwc) {
  ImportedNet net = buildNet(g.read(), {output});
  int sizes[] = {1, c, h, w};
  net.net.setInput(cv::Mat(cv::Mat(h * w, c, CV_32F, nhwc.data()).t()).reshape(1, 4, sizes));
  cv::Mat out = net.net.forward(net.outputLayers[0]);
  int oc = out.size[1], oh = out.size[2], ow = out.size[3];
  cv::Mat flat = cv::Mat(cv::Mat(oc, oh * ow, CV_32F, out.ptr<float>()).t()).reshape(1, 1);
  return {std::vector<float>(flat.begin<float>(), flat.end<float>()), {oh, ow, oc}};
}

TEST(TfjsGraph, DecodesStoredWeightsAndRejectsMalformedInput) {
  HandGraph g;
  // 1.5, -2 and the half nearest to 0.1, little-endian.
  g.raw("half", {3}, {{"dtype", "float32"}, {"quantization", {{"dtype", "float16"}}}},
        {0x00, 0x3e, 0x00, 0xc0, 0x66, 0x2e});
  g.raw("bytes", {3}, {{"dtype", "float32"}, {"quantization", {{"dtype", "uint8"}, {"scale", 0.5}, {"min", -1.0}}}},
        {0, 4, 255});
  g.raw("index", {}, {{"dtype", "int32"}}, {0xfe, 0xff, 0xff, 0xff});
  TfjsGraph graph = g.read();
  EXPECT_EQ(graph.constants["half"].values, (std::vector<float>{1.5f, -2.0f, 0.0999755859375f}));
  EXPECT_EQ(graph.constants["bytes"].values, (std::vector<float>{-1.0f, 1.0f, 126.5f}));
  EXPECT_EQ(graph.constants["index"].values, (std::vector<float>{-2.0f}));
  EXPECT_TRUE(graph.constants["index"].shape.empty());
  EXPECT_EQ(graph.nodes.at("in").op, "Placeholder");

  EXPECT_THROW(readTfjsGraph(bytesOf(g.model()), std::span(g.bytes).first(12)), Fail);  // one byte short
  EXPECT_THROW(readTfjsGraph(bytesOf("{\"modelTopology\": "), g.bytes), Fail);
  EXPECT_THROW(readTfjsGraph(bytesOf("{\"weightsManifest\": []}"), g.bytes), Fail);
  g.raw("s", {1}, {{"dtype", "string"}}, {});
  EXPECT_THROW(g.read(), Fail);
}

// One graph with a node of every supported kind; the input is declared 2 × 2.
HandGraph everyOp() {
  HandGraph g;
  json dims = json::array({{{"size", "1"}}, {{"size", "2"}}, {{"size", "2"}}, {{"size", "1"}}});
  g.nodes[0]["attr"]["shape"] = {{"shape", {{"dim", dims}}}};
  g.constant("ones3x3", {3, 3, 1, 1}, std::vector<float>(9, 1.0f));
  g.constant("minus40", {1}, {-40});
  g.node("strided", "_FusedConv2D", {"in", "ones3x3", "minus40"}, conv(2, "SAME", {"BiasAdd", "Relu"}));
  g.constant("hwio", {1, 1, 2, 3}, {1, 2, 3, 4, 5, 6});  // out[o] = w[0][o]·a + w[1][o]·b
  g.node("conv", "Conv2D", {"in", "hwio"});              // by default VALID, stride 1, NHWC
  g.constant("dwFilter", {1, 1, 2, 2}, {2, 3, 5, 7});    // channel 0 × {2, 3}, channel 1 × {5, 7}
  g.constant("dwBias", {4}, {0, 0, 0, 100});
  g.node("dwFused", "FusedDepthwiseConv2dNative", {"in", "dwFilter", "dwBias"}, conv(1, "SAME", {"BiasAdd", "Relu6"}));
  g.node("dw", "DepthwiseConv2dNative", {"in", "dwFilter"}, conv(1, "SAME"));
  g.raw("sixth", {}, {{"dtype", "float32"}, {"quantization", {{"dtype", "float16"}}}}, {0x55, 0x31});  // ≈ 1/6
  g.constant("fifth", {}, {0.2f});
  g.constant("three", {}, {3});
  g.constant("two", {}, {2});
  g.node("shifted", "AddV2", {"in", "three"});
  g.node("clipped", "Relu6", {"shifted"});
  g.node("bySixth", "Mul", {"sixth", "in"});
  g.node("swish", "Mul", {"bySixth", "clipped"});  // the hard swish pattern
  g.node("byFifth", "Mul", {"fifth", "in"});
  g.node("product", "Mul", {"byFifth", "clipped"});  // not the pattern: computed step by step
  g.node("squashed", "Sigmoid", {"in"});
  g.node("rectified", "Relu", {"in"});
  g.constant("hw", {2}, {1, 2});
  g.node("mean", "Mean", {"in", "hw"}, {{"keep_dims", {{"b", true}}}});
  g.node("gate", "Mul", {"mean", "in"});
  g.node("offset", "Add", {"in", "mean"});
  g.constant("channels", {}, {3});
  g.node("doubled", "Mul", {"in", "two"});
  g.node("joined", "ConcatV2", {"in", "doubled", "channels"});
  g.node("named", "Identity", {"doubled"});
  g.constant("four", {2}, {4, 4});
  g.constant("three3", {2}, {3, 3});
  g.node("zoomed", "ResizeBilinear", {"in", "four"}, {{"align_corners", {{"b", false}}}});
  g.node("fixed", "ResizeBilinear", {"in", "three3"});
  return g;
}

TEST(TfjsGraph, EachOperationGivesHandComputedValues) {
  struct Case {
    std::string output;
    int h, w, c;
    std::vector<float> input, expected;
    std::vector<int> shape;
    double tolerance = 0;
  };
  const std::vector<float> x = {-4, -1, 0, 2, 5}, channels = {0, 10, 1, 10, 2, 10, 3, 10};  // means 1.5 and 10
  const Case cases[] = {
      // SAME with stride 2 pads one row and column after the picture, none before.
      {"strided", 4, 4, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {5, 0, 26, 10}, {2, 2, 1}},
      {"conv", 1, 1, 2, {1, 10}, {41, 52, 63}, {1, 1, 3}},
      {"dwFused", 1, 1, 2, {1, -1}, {2, 3, 0, 6}, {1, 1, 4}},  // by channel, then multiplier
      {"dw", 1, 1, 2, {1, -1}, {2, 3, -5, -7}, {1, 1, 4}},
      // The half-precision 1/6 would be off by 1e-3 at 5 if the pattern were
      // computed step by step rather than as one hard swish.
      {"swish", 1, 5, 1, x, {0, -1.0f / 3, 0, 5.0f / 3, 5}, {1, 5, 1}, 1e-5},
      {"product", 1, 5, 1, x, {0, -0.4f, 0, 2, 6}, {1, 5, 1}, 1e-5},
      {"squashed", 1, 5, 1, x, {0.01798621f, 0.26894142f, 0.5f, 0.88079708f, 0.99330715f}, {1, 5, 1}, 1e-6},
      {"rectified", 1, 5, 1, x, {0, 0, 0, 2, 5}, {1, 5, 1}},
      {"mean", 2, 2, 2, channels, {1.5f, 10}, {1, 1, 2}},
      {"gate", 2, 2, 2, channels, {0, 100, 1.5f, 100, 3, 100, 4.5f, 100}, {2, 2, 2}},
      {"offset", 2, 2, 2, channels, {1.5f, 20, 2.5f, 20, 3.5f, 20, 4.5f, 20}, {2, 2, 2}},
      {"joined", 1, 2, 1, {1, 2}, {1, 2, 2, 4}, {1, 2, 2}},
      {"named", 1, 1, 1, {4}, {8}, {1, 1, 1}},
      // Twice the declared size: a zoom by 2 for any input, sampled from the
      // top-left corner of each pixel. Other sizes stay fixed.
      {"zoomed", 3, 1, 1, {0, 1, 2}, {0, 0, 0.5f, 0.5f, 1, 1, 1.5f, 1.5f, 2, 2, 2, 2}, {6, 2, 1}},
      {"fixed", 3, 1, 1, {0, 1, 2}, {0, 0, 0, 1, 1, 1, 2, 2, 2}, {3, 3, 1}},
  };
  const HandGraph g = everyOp();
  for (const Case& c : cases) {
    auto [out, shape] = run(g, c.output, c.h, c.w, c.c, c.input);
    EXPECT_EQ(shape, c.shape) << c.output;
    ASSERT_EQ(out.size(), c.expected.size()) << c.output;
    for (size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], c.expected[i], c.tolerance) << c.output << " " << i;
  }
  EXPECT_EQ(buildNet(g.read(), {"named"}).outputLayers, std::vector<std::string>{"doubled"});  // only what is needed
}

TEST(TfjsGraph, RejectsWhatItCannotExpress) {
  HandGraph g = everyOp();
  g.constant("axis3", {1}, {3});
  g.constant("vector", {2}, {1, 2});
  g.node("explicit", "Conv2D", {"in", "ones3x3"}, conv(1, "EXPLICIT"));
  g.node("nchw", "Conv2D", {"in", "ones3x3"}, {{"data_format", {{"s", encoded.at("NCHW")}}}});
  g.node("batchnorm", "_FusedConv2D", {"in", "ones3x3", "minus40"}, conv(1, "SAME", {"FusedBatchNorm"}));
  g.node("channelMean", "Mean", {"in", "axis3"}, {{"keep_dims", {{"b", true}}}});
  g.node("vectorMul", "Mul", {"in", "vector"});
  g.node("computedFilter", "Conv2D", {"in", "in"}, conv(1, "SAME"));
  g.node("topK", "TopKV2", {"doubled", "two"});
  for (const char* name :
       {"explicit", "nchw", "batchnorm", "channelMean", "vectorMul", "computedFilter", "topK", "missing", "in"})
    EXPECT_THROW(buildNet(g.read(), {name}), Fail) << name;
}

}  // namespace
