#include "vision/onnx_clip_rewrite.h"

#include <onnx/onnx_pb.h>

#include <limits>
#include <map>
#include <optional>

#include "base/fail.h"
#include "vision/onnx_constants.h"
#include "vision/onnx_editing.h"

namespace {

float scalarOf(const onnx::TensorProto& tensor) {
  if (std::optional<float> value = scalarValue(tensor)) return *value;
  throw Fail("text model: Clip bound is not a float scalar");
}

}  // namespace

std::string clipBoundsAsAttributes(std::span<const uint8_t> model) {
  onnx::ModelProto proto = parsedModel(model);
  onnx::GraphProto& graph = *proto.mutable_graph();

  const std::map<std::string, const onnx::TensorProto*> constants = constantTensors(graph);

  for (auto& node : *graph.mutable_node()) {
    if (node.op_type() != "Clip" || node.input_size() < 2) continue;
    float bounds[2] = {std::numeric_limits<float>::lowest(), std::numeric_limits<float>::max()};
    for (int i = 1; i < node.input_size() && i < 3; ++i) {
      const std::string& name = node.input(i);
      if (name.empty()) continue;  // an omitted optional bound
      auto found = constants.find(name);
      if (found == constants.end()) throw Fail("text model: Clip bound " + name + " is not a constant");
      bounds[i - 1] = scalarOf(*found->second);
    }
    node.mutable_input()->DeleteSubrange(1, node.input_size() - 1);
    addFloat(node, "min", bounds[0]);
    addFloat(node, "max", bounds[1]);
  }

  // Constant nodes nobody reads any more would only be imported as unused
  // blobs.
  removeUnreadConstants(graph);

  return serialisedModel(proto);
}
