#include "vision/onnx_elementwise.h"

#include <onnx/onnx_pb.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "vision/hard_swish_layer.h"
#include "vision/onnx_constants.h"
#include "vision/onnx_editing.h"

namespace {

using Constants = std::map<std::string, const onnx::TensorProto*>;

struct Graph {
  std::map<std::string, onnx::NodeProto*> producer;  // by output name
  std::map<std::string, int> readers;                // nodes reading a name, and graph outputs
};

Graph graphOf(onnx::GraphProto& graph) {
  Graph g;
  for (onnx::NodeProto& node : *graph.mutable_node()) {
    for (const std::string& output : node.output()) g.producer[output] = &node;
    for (const std::string& input : node.input()) ++g.readers[input];
  }
  for (const auto& output : graph.output()) ++g.readers[output.name()];
  return g;
}

// The node of type `op` producing `name`, read by nothing but one node.
onnx::NodeProto* onlyUseOf(const Graph& g, const std::string& name, const char* op) {
  auto found = g.producer.find(name);
  if (found == g.producer.end() || found->second->op_type() != op || found->second->output_size() != 1) return nullptr;
  auto readers = g.readers.find(name);
  return readers != g.readers.end() && readers->second == 1 ? found->second : nullptr;
}

bool isScalar(const Constants& constants, const std::string& name, float value) {
  auto found = constants.find(name);
  return found != constants.end() && scalarValue(*found->second) == value;
}

// The x of a chain (x + 3) clipped to 0..6, times x, over 6 ending in `div`,
// whose intermediate results nothing else reads; none for any other node.
std::optional<std::string> hardSwishInput(const onnx::NodeProto& div, const Graph& g, const Constants& constants) {
  if (div.op_type() != "Div" || div.input_size() != 2 || div.output_size() != 1 ||
      !isScalar(constants, div.input(1), 6))
    return std::nullopt;
  const onnx::NodeProto* mul = onlyUseOf(g, div.input(0), "Mul");
  if (!mul || mul->input_size() != 2) return std::nullopt;
  for (int side = 0; side < 2; ++side) {
    const std::string& x = mul->input(side);
    const onnx::NodeProto* clip = onlyUseOf(g, mul->input(1 - side), "Clip");
    if (!clip || clip->input_size() != 1 || floatOf(*clip, "min") != 0.0f || floatOf(*clip, "max") != 6.0f)
      continue;
    const onnx::NodeProto* add = onlyUseOf(g, clip->input(0), "Add");
    if (!add || add->input_size() != 2) continue;
    if ((add->input(0) == x && isScalar(constants, add->input(1), 3)) ||
        (add->input(1) == x && isScalar(constants, add->input(0), 3)))
      return x;
  }
  return std::nullopt;
}

// Whether `name` is 1 x 1 in height and width: a GlobalAveragePool's
// output, or one taken from such through 1 x 1 convolutions without padding
// and element-wise activations.
bool perChannel(const std::string& name, const Graph& g, const Constants& constants, int depth = 0) {
  auto found = g.producer.find(name);
  if (found == g.producer.end() || depth > 16) return false;
  const onnx::NodeProto& node = *found->second;
  const std::string& op = node.op_type();
  if (op == "GlobalAveragePool") return true;
  if (op == "Relu" || op == "HardSigmoid" || op == "Sigmoid" || op == "Clip")
    return node.input_size() >= 1 && perChannel(node.input(0), g, constants, depth + 1);
  if (op != "Conv" || node.input_size() < 2) return false;
  auto weights = constants.find(node.input(1));
  if (weights == constants.end() || weights->second->dims_size() != 4 || weights->second->dims(2) != 1 ||
      weights->second->dims(3) != 1)
    return false;
  for (int64_t pad : intsOf(node, "pads").value_or(std::vector<int64_t>{}))
    if (pad != 0) return false;
  return perChannel(node.input(0), g, constants, depth + 1);
}

}  // namespace

std::string withFastElementwiseNodes(const std::string& model) {
  onnx::ModelProto proto = parsedModel(model);
  onnx::GraphProto& graph = *proto.mutable_graph();
  const Constants constants = constantTensors(graph);

  // Decided on the graph as it came, then applied: the chains' first three
  // nodes are dropped, the last one becomes the HardSwish.
  std::set<const onnx::NodeProto*> dropped;
  std::vector<std::pair<onnx::NodeProto*, std::string>> swishes;
  std::vector<std::pair<onnx::NodeProto*, int>> scales;  // the node, and which input is per-channel
  {
    const Graph g = graphOf(graph);
    for (onnx::NodeProto& node : *graph.mutable_node()) {
      if (std::optional<std::string> x = hardSwishInput(node, g, constants)) {
        const onnx::NodeProto* mul = g.producer.at(node.input(0));
        const std::string& clipped = mul->input(0) == *x ? mul->input(1) : mul->input(0);
        const onnx::NodeProto* clip = g.producer.at(clipped);
        dropped.insert({mul, clip, g.producer.at(clip->input(0))});
        swishes.emplace_back(&node, *x);
        continue;
      }
      if (node.op_type() != "Mul" || node.input_size() != 2 || node.output_size() != 1) continue;
      const bool first = perChannel(node.input(0), g, constants), second = perChannel(node.input(1), g, constants);
      if (first != second) scales.emplace_back(&node, first ? 0 : 1);
    }
  }
  for (auto& [node, x] : swishes) {
    const std::string output = node->output(0), name = node->name();
    node->Clear();
    node->set_op_type(kHardSwishLayer);
    node->set_name(name);
    node->add_input(x);
    node->add_output(output);
  }
  for (auto& [node, gate] : scales) {
    // Scale multiplies its first input by its second, per channel.
    if (gate == 0) node->mutable_input()->SwapElements(0, 1);
    node->set_op_type("Scale");
    node->clear_attribute();
    addInt(*node, "axis", 1);
    addInt(*node, "bias_term", 0);
  }
  auto& nodes = *graph.mutable_node();
  for (int i = nodes.size() - 1; i >= 0; --i)
    if (dropped.count(&nodes.Get(i))) nodes.DeleteSubrange(i, 1);
  removeUnreadConstants(graph);

  return serialisedModel(proto);
}
