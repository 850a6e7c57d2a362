#include "vision/tfjs_graph.h"

#include <opencv2/core/utils/logger.hpp>

#include <cmath>
#include <cstring>
#include <functional>

#include "base/fail.h"
#include "vision/depthwise_layer.h"
#include "vision/opencv_failure.h"

using nlohmann::json;

namespace {

[[noreturn]] void fail(const std::string& what) { throw Fail("object model: " + what); }

std::string base64Decode(const std::string& text) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    int v = value(c);
    if (v < 0) fail("bad attribute text");
    bits = (bits << 6) | unsigned(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += char((bits >> count) & 0xff);
    }
  }
  return out;
}

template <typename T>
T readLittle(const uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// Storage of one weight in the weight file: bytes per element and how to
// turn those bytes into a number.
struct Storage {
  size_t bytes = 4;
  std::function<float(const uint8_t*)> decode;
};

Storage storageOf(const json& entry) {
  if (entry.contains("quantization")) {
    const json& q = entry["quantization"];
    std::string kind = q.value("dtype", "");
    if (kind == "float16")
      return {2, [](const uint8_t* p) { return float(cv::float16_t::fromBits(readLittle<uint16_t>(p))); }};
    float scale = q.value("scale", 1.0f), min = q.value("min", 0.0f);
    if (kind == "uint8") return {1, [=](const uint8_t* p) { return float(*p) * scale + min; }};
    if (kind == "uint16") return {2, [=](const uint8_t* p) { return float(readLittle<uint16_t>(p)) * scale + min; }};
    fail("unsupported weight quantisation " + kind);
  }
  std::string dtype = entry.value("dtype", "");
  if (dtype == "float32") return {4, [](const uint8_t* p) { return readLittle<float>(p); }};
  if (dtype == "int32") return {4, [](const uint8_t* p) { return float(readLittle<int32_t>(p)); }};
  if (dtype == "bool") return {1, [](const uint8_t* p) { return *p ? 1.0f : 0.0f; }};
  fail("unsupported weight type " + dtype);
}

std::vector<std::string> nodeInputs(const json& node) {
  std::vector<std::string> inputs;
  for (const json& input : node.value("input", json::array())) {
    std::string name = input.get<std::string>();
    if (name.starts_with("^")) continue;
    if (name.ends_with(":0")) name.resize(name.size() - 2);
    inputs.push_back(name);
  }
  return inputs;
}

// ---- attributes ----

std::string attrText(const TfjsNode& node, const std::string& key, const std::string& fallback) {
  if (!node.attr.contains(key)) return fallback;
  return base64Decode(node.attr.at(key).value("s", ""));
}

std::vector<int> attrInts(const TfjsNode& node, const std::string& key, std::vector<int> fallback) {
  if (!node.attr.contains(key)) return fallback;
  std::vector<int> values;
  for (const json& v : node.attr.at(key).at("list").value("i", json::array()))
    values.push_back(v.is_string() ? std::stoi(v.get<std::string>()) : v.get<int>());
  return values;
}

std::vector<std::string> attrTexts(const TfjsNode& node, const std::string& key) {
  std::vector<std::string> values;
  if (!node.attr.contains(key)) return values;
  for (const json& v : node.attr.at(key).at("list").value("s", json::array())) values.push_back(base64Decode(v.get<std::string>()));
  return values;
}

bool attrBool(const TfjsNode& node, const std::string& key, bool fallback) {
  if (!node.attr.contains(key)) return fallback;
  return node.attr.at(key).value("b", fallback);
}

// Height and width of a tensor when the network is fed the input size the
// graph declares; 0 where that is unknown.
struct Extent {
  int height = 0, width = 0;
  bool pooled() const { return height == 1 && width == 1; }
};

// Where a tensor comes from in the network being built, and its extent, which
// decides how binary operations broadcast and how resizing scales.
struct Ref {
  int layer = 0;
  int output = 0;
  Extent extent;
  bool pooled() const { return extent.pooled(); }
};

int convolvedSize(int size, int kernel, int stride, int dilation, bool same) {
  if (size <= 0) return 0;
  if (same) return (size + stride - 1) / stride;
  return std::max(0, (size - (kernel - 1) * dilation - 1) / stride + 1);
}

class Builder {
 public:
  explicit Builder(const TfjsGraph& graph) : graph_(graph) {}

  ImportedNet build(const std::vector<std::string>& outputs) {
    ImportedNet result;
    for (const std::string& name : outputs) {
      Ref ref = tensor(name);
      if (ref.layer == 0) fail("output " + name + " is the input itself");
      if (ref.output != 0) fail("output " + name + " is not a first output");
      result.outputLayers.push_back(layerNames_.at(ref.layer));
    }
    if (inputName_.empty()) fail("the outputs do not depend on the input");
    net_.setInputsNames({inputName_});
    result.net = net_;
    return result;
  }

 private:
  const TfjsGraph& graph_;
  cv::dnn::Net net_;
  std::map<std::string, Ref> built_;
  std::map<int, std::string> layerNames_;
  std::string inputName_;

  const TfjsNode& node(const std::string& name) const {
    std::string base = name.substr(0, name.find(':'));
    auto found = graph_.nodes.find(base);
    if (found == graph_.nodes.end()) fail("no node named " + base);
    return found->second;
  }

  // The constant a tensor name refers to, or null when it is computed.
  const TfjsTensor* constant(const std::string& name) const {
    const TfjsNode& n = node(name);
    if (n.op != "Const") return nullptr;
    auto found = graph_.constants.find(n.name);
    if (found == graph_.constants.end()) fail("no weights for " + n.name);
    return &found->second;
  }

  const TfjsTensor& requireConstant(const std::string& name) const {
    const TfjsTensor* value = constant(name);
    if (!value) fail(name + " must be a constant");
    return *value;
  }

  Ref tensor(const std::string& name) {
    auto found = built_.find(name);
    if (found != built_.end()) return found->second;
    const TfjsNode& n = node(name);
    if (name != n.name) fail("tensor " + name + ": only first outputs are supported");
    Ref ref = make(n);
    built_[name] = ref;
    return ref;
  }

  Ref add(const std::string& name, const std::string& type, cv::dnn::LayerParams& params,
          const std::vector<Ref>& inputs, Extent extent) {
    int id = net_.addLayer(name, type, params);
    if (id < 0) fail("could not add layer " + name);
    layerNames_[id] = name;
    for (size_t i = 0; i < inputs.size(); ++i) net_.connect(inputs[i].layer, inputs[i].output, id, int(i));
    return {id, 0, extent};
  }

  Ref activation(const std::string& name, const std::string& op, Ref input) {
    cv::dnn::LayerParams params;
    if (op == "Relu") return add(name, "ReLU", params, {input}, input.extent);
    if (op == "Relu6") {
      params.set("min_value", 0.0f);
      params.set("max_value", 6.0f);
      return add(name, "ReLU6", params, {input}, input.extent);
    }
    if (op == "Sigmoid") return add(name, "Sigmoid", params, {input}, input.extent);
    fail("unsupported activation " + op + " in " + name);
  }

  Ref make(const TfjsNode& n) {
    const std::string& op = n.op;
    if (op == "Placeholder") {
      if (!inputName_.empty() && inputName_ != n.name) fail("more than one input");
      inputName_ = n.name;
      layerNames_[0] = n.name;
      return {0, 0, declaredExtent(n)};
    }
    if (op == "Const") fail("constant " + n.name + " used as a computed tensor");
    if (op == "Identity") {
      if (n.inputs.empty()) fail(n.name + " has no input");
      return tensor(n.inputs[0]);
    }
    if (op == "_FusedConv2D" || op == "Conv2D") return convolution(n, false);
    if (op == "FusedDepthwiseConv2dNative" || op == "DepthwiseConv2dNative") return convolution(n, true);
    if (op == "Relu" || op == "Relu6" || op == "Sigmoid") return activation(n.name, op, tensor(input(n, 0)));
    if (op == "Mul" || op == "Add" || op == "AddV2") return arithmetic(n);
    if (op == "Mean") return mean(n);
    if (op == "ConcatV2") return concat(n);
    if (op == "ResizeBilinear") return resize(n);
    if (op == "MaxPool") return maxPool(n);
    if (op == "Pad") return pad(n);
    fail("unsupported operation " + op + " in " + n.name);
  }

  // NHWC shape attribute of a Placeholder; dimensions of -1 are unknown.
  static Extent declaredExtent(const TfjsNode& n) {
    if (!n.attr.contains("shape")) return {};
    json dims = n.attr.at("shape").value("shape", json::object()).value("dim", json::array());
    if (dims.size() != 4) return {};
    auto size = [&](int i) {
      const json& d = dims[size_t(i)].value("size", json("0"));
      int v = d.is_string() ? std::stoi(d.get<std::string>()) : d.get<int>();
      return std::max(v, 0);
    };
    return {size(1), size(2)};
  }

  static const std::string& input(const TfjsNode& n, size_t i) {
    if (n.inputs.size() <= i) fail(n.name + " lacks input " + std::to_string(i));
    return n.inputs[i];
  }

  static void requireNhwc(const TfjsNode& n) {
    if (attrText(n, "data_format", "NHWC") != "NHWC") fail(n.name + " is not NHWC");
  }

  Ref convolution(const TfjsNode& n, bool depthwise) {
    requireNhwc(n);
    Ref x = tensor(input(n, 0));
    const TfjsTensor& filter = requireConstant(input(n, 1));
    if (filter.shape.size() != 4) fail(n.name + ": filter is not four-dimensional");
    const int kh = filter.shape[0], kw = filter.shape[1], cin = filter.shape[2], cout = filter.shape[3];

    bool fused = n.op.starts_with("_Fused") || n.op.starts_with("Fused");
    std::string act;
    const TfjsTensor* bias = nullptr;
    if (fused) {
      std::vector<std::string> ops = attrTexts(n, "fused_ops");
      if (ops.empty() || ops[0] != "BiasAdd" || ops.size() > 2) fail(n.name + ": unsupported fused operations");
      if (ops.size() == 2) act = ops[1];
      bias = &requireConstant(input(n, 2));
    }

    std::vector<int> strides = attrInts(n, "strides", {1, 1, 1, 1});
    std::vector<int> dilations = attrInts(n, "dilations", {1, 1, 1, 1});
    std::string padding = attrText(n, "padding", "VALID");
    if (strides.size() != 4 || dilations.size() != 4) fail(n.name + ": bad strides or dilations");
    if (padding != "SAME" && padding != "VALID") fail(n.name + ": unsupported padding " + padding);

    // TensorFlow keeps filters as H×W×in×out (depthwise: H×W×channels×multiplier);
    // OpenCV wants out×in-per-group×H×W.
    const int outputs = depthwise ? cin * cout : cout;
    const int perGroup = depthwise ? 1 : cin;
    int sizes[] = {outputs, perGroup, kh, kw};
    cv::Mat weights(4, sizes, CV_32F);
    float* w = weights.ptr<float>();
    for (int y = 0; y < kh; ++y)
      for (int x = 0; x < kw; ++x)
        for (int i = 0; i < cin; ++i)
          for (int o = 0; o < cout; ++o) {
            float value = filter.values[((size_t(y) * kw + x) * cin + i) * cout + o];
            if (depthwise)
              w[((size_t(i) * cout + o) * kh + y) * kw + x] = value;
            else
              w[((size_t(o) * cin + i) * kh + y) * kw + x] = value;
          }

    cv::dnn::LayerParams params;
    params.set("kernel_h", kh);
    params.set("kernel_w", kw);
    params.set("stride_h", strides[1]);
    params.set("stride_w", strides[2]);
    params.set("dilation_h", dilations[1]);
    params.set("dilation_w", dilations[2]);
    params.set("pad_mode", padding);
    params.set("num_output", outputs);
    params.set("group", depthwise ? cin : 1);
    params.set("bias_term", bias != nullptr);
    params.blobs.push_back(weights);
    if (bias) {
      if (int(bias->values.size()) != outputs) fail(n.name + ": bias does not match the filter");
      params.blobs.push_back(cv::Mat(1, outputs, CV_32F, const_cast<float*>(bias->values.data())).clone());
    }
    Extent out{convolvedSize(x.extent.height, kh, strides[1], dilations[1], padding == "SAME"),
               convolvedSize(x.extent.width, kw, strides[2], dilations[2], padding == "SAME")};
    // OpenCV's general path for a 5 × 5 depthwise convolution is slow; those
    // go to stillpick's own layer.
    const bool ownLayer = depthwise && cout == 1 && padding == "SAME" &&
                          depthwiseLayerComputes(kh, kw, strides[1], strides[2], dilations[1], dilations[2]);
    const std::string type = ownLayer ? kDepthwiseLayer : "Convolution";
    if (act.empty()) return add(n.name, type, params, {x}, out);
    Ref conv = add(n.name + "/convolution", type, params, {x}, out);
    return activation(n.name, act, conv);
  }

  static bool near(const TfjsTensor* c, float value) {
    return c && c->values.size() == 1 && std::fabs(c->values[0] - value) <= 1e-3f * std::fabs(value);
  }

  // x × relu6(x + 3) × 1/6, written out as Mul(Mul(1/6, x), Relu6(Add(x, 3))).
  // Returns the x of that pattern, or an empty name.
  std::string hardSwishInput(const TfjsNode& n) const {
    if (n.op != "Mul" || n.inputs.size() != 2) return {};
    for (int k = 0; k < 2; ++k) {
      const TfjsNode& scaled = node(n.inputs[k]);
      const TfjsNode& clipped = node(n.inputs[1 - k]);
      if (scaled.op != "Mul" || scaled.inputs.size() != 2 || clipped.op != "Relu6" || clipped.inputs.empty())
        continue;
      const TfjsNode& shifted = node(clipped.inputs[0]);
      if ((shifted.op != "Add" && shifted.op != "AddV2") || shifted.inputs.size() != 2) continue;
      for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b) {
          const std::string& x = scaled.inputs[1 - a];
          if (near(constant(scaled.inputs[a]), 1.0f / 6) && near(constant(shifted.inputs[b]), 3.0f) &&
              !constant(x) && shifted.inputs[1 - b] == x)
            return x;
        }
    }
    return {};
  }

  Ref arithmetic(const TfjsNode& n) {
    if (n.inputs.size() != 2) fail(n.name + " needs two inputs");
    bool product = n.op == "Mul";
    std::string swished = hardSwishInput(n);
    cv::dnn::LayerParams params;
    if (!swished.empty()) {
      Ref x = tensor(swished);
      return add(n.name, "HardSwish", params, {x}, x.extent);
    }
    const TfjsTensor* ca = constant(n.inputs[0]);
    const TfjsTensor* cb = constant(n.inputs[1]);
    if (ca && cb) fail(n.name + ": both inputs are constants");
    if (ca || cb) {
      const TfjsTensor& c = ca ? *ca : *cb;
      if (c.values.size() != 1) fail(n.name + ": only scalar constants are supported");
      Ref x = tensor(n.inputs[ca ? 1 : 0]);
      params.set("power", 1.0f);
      params.set("scale", product ? c.values[0] : 1.0f);
      params.set("shift", product ? 0.0f : c.values[0]);
      return add(n.name, "Power", params, {x}, x.extent);
    }
    Ref a = tensor(n.inputs[0]);
    Ref b = tensor(n.inputs[1]);
    if (a.pooled() == b.pooled()) {
      params.set("operation", product ? "prod" : "sum");
      return add(n.name, "Eltwise", params, {a, b}, a.extent);
    }
    // One side is 1×1×C: a per-channel factor (or offset) for the other.
    Ref full = a.pooled() ? b : a;
    Ref perChannel = a.pooled() ? a : b;
    params.set("axis", 1);
    params.set("bias_term", !product);
    return add(n.name, "Scale", params, {full, perChannel}, full.extent);
  }

  Ref mean(const TfjsNode& n) {
    const TfjsTensor& axes = requireConstant(input(n, 1));
    std::vector<float> sorted = axes.values;
    std::sort(sorted.begin(), sorted.end());
    if (sorted != std::vector<float>{1, 2}) fail(n.name + ": only means over height and width are supported");
    if (!attrBool(n, "keep_dims", false)) fail(n.name + ": only means that keep dimensions are supported");
    Ref x = tensor(input(n, 0));
    cv::dnn::LayerParams params;
    params.set("pool", "ave");
    params.set("global_pooling", true);
    return add(n.name, "Pooling", params, {x}, Extent{1, 1});
  }

  Ref concat(const TfjsNode& n) {
    if (n.inputs.size() < 2) fail(n.name + " needs inputs and an axis");
    const TfjsTensor& axis = requireConstant(n.inputs.back());
    if (axis.values.size() != 1 || (axis.values[0] != 3 && axis.values[0] != -1))
      fail(n.name + ": only concatenation along channels is supported");
    std::vector<Ref> parts;
    for (size_t i = 0; i + 1 < n.inputs.size(); ++i) parts.push_back(tensor(n.inputs[i]));
    cv::dnn::LayerParams params;
    params.set("axis", 1);
    return add(n.name, "Concat", params, parts, parts[0].extent);
  }

  Ref maxPool(const TfjsNode& n) {
    requireNhwc(n);
    std::vector<int> kernel = attrInts(n, "ksize", {}), strides = attrInts(n, "strides", {});
    std::string padding = attrText(n, "padding", "VALID");
    if (kernel.size() != 4 || strides.size() != 4 || kernel[0] != 1 || kernel[3] != 1 || strides[0] != 1 ||
        strides[3] != 1)
      fail(n.name + ": only pooling over height and width is supported");
    if (padding != "SAME" && padding != "VALID") fail(n.name + ": unsupported padding " + padding);
    Ref x = tensor(input(n, 0));
    cv::dnn::LayerParams params;
    params.set("pool", "max");
    params.set("kernel_h", kernel[1]);
    params.set("kernel_w", kernel[2]);
    params.set("stride_h", strides[1]);
    params.set("stride_w", strides[2]);
    params.set("pad_mode", padding);
    Extent out{convolvedSize(x.extent.height, kernel[1], strides[1], 1, padding == "SAME"),
               convolvedSize(x.extent.width, kernel[2], strides[2], 1, padding == "SAME")};
    return add(n.name, "Pooling", params, {x}, out);
  }

  // Zeros added after the channels (a residual branch widened to match the
  // one it joins); padding of height or width is not needed and refused.
  Ref pad(const TfjsNode& n) {
    const TfjsTensor& paddings = requireConstant(input(n, 1));
    const std::vector<float>& p = paddings.values;
    if (p.size() != 8 || std::any_of(p.begin(), p.begin() + 6, [](float v) { return v != 0; }) || p[6] != 0 ||
        p[7] < 0)
      fail(n.name + ": only padding after the channels is supported");
    Ref x = tensor(input(n, 0));
    cv::dnn::LayerParams params;
    const int nchw[] = {0, 0, 0, int(p[7]), 0, 0, 0, 0};
    params.set("paddings", cv::dnn::DictValue::arrayInt(nchw, 8));
    params.set("value", 0.0f);
    return add(n.name, "Padding", params, {x}, x.extent);
  }

  Ref resize(const TfjsNode& n) {
    const TfjsTensor& size = requireConstant(input(n, 1));
    if (size.values.size() != 2 || size.values[0] < 1 || size.values[1] < 1) fail(n.name + ": bad output size");
    Ref x = tensor(input(n, 0));
    const int height = int(size.values[0]), width = int(size.values[1]);
    cv::dnn::LayerParams params;
    params.set("interpolation", "bilinear");
    // A size that is a whole multiple of the input's (at the declared input
    // size) is kept as that multiple, so the network also takes other input
    // sizes; any other size stays fixed.
    const Extent& in = x.extent;
    if (in.height > 0 && in.width > 0 && height % in.height == 0 && width % in.width == 0) {
      params.set("zoom_factor_y", height / in.height);
      params.set("zoom_factor_x", width / in.width);
    } else {
      params.set("height", height);
      params.set("width", width);
    }
    params.set("align_corners", attrBool(n, "align_corners", false));
    params.set("half_pixel_centers", attrBool(n, "half_pixel_centers", false));
    return add(n.name, "Resize", params, {x}, Extent{height, width});
  }
};

}  // namespace

TfjsGraph readTfjsGraph(std::span<const uint8_t> modelJson, std::span<const uint8_t> weights) {
  json model = json::parse(modelJson.begin(), modelJson.end(), nullptr, false);
  if (model.is_discarded() || !model.is_object()) fail("the graph is not JSON");
  TfjsGraph graph;
  try {
    for (const json& node : model.at("modelTopology").at("node")) {
      TfjsNode n{node.at("name").get<std::string>(), node.at("op").get<std::string>(), nodeInputs(node),
                 node.value("attr", json::object())};
      graph.nodes[n.name] = std::move(n);
    }
    size_t offset = 0;
    for (const json& group : model.at("weightsManifest"))
      for (const json& entry : group.at("weights")) {
        TfjsTensor tensor;
        size_t count = 1;
        for (const json& d : entry.at("shape")) {
          int dim = d.get<int>();
          if (dim < 0) fail("negative weight dimension");
          tensor.shape.push_back(dim);
          count *= size_t(dim);
        }
        Storage storage = storageOf(entry);
        if (count * storage.bytes > weights.size() - offset) fail("the weights are shorter than the graph says");
        tensor.values.resize(count);
        for (size_t i = 0; i < count; ++i) tensor.values[i] = storage.decode(weights.data() + offset + i * storage.bytes);
        offset += count * storage.bytes;
        graph.constants[entry.at("name").get<std::string>()] = std::move(tensor);
      }
  } catch (const json::exception& e) {
    fail(std::string("malformed graph: ") + e.what());
  }
  return graph;
}

ImportedNet buildNet(const TfjsGraph& graph, const std::vector<std::string>& outputs) {
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  registerDepthwiseLayer();
  try {
    return Builder(graph).build(outputs);
  } catch (const cv::Exception& e) {
    rethrowOpenCvError(e, "building the network");
  } catch (const json::exception& e) {
    fail(std::string("malformed attribute: ") + e.what());
  } catch (const std::logic_error& e) {  // a number that does not parse
    fail(std::string("malformed attribute: ") + e.what());
  }
}
