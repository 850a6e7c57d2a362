#include "vision/onnx_clip_rewrite.h"

#include <onnx/onnx_pb.h>

#include <limits>
#include <map>
#include <optional>

#include "base/fail.h"
#include "vision/onnx_constants.h"

namespace {

float scalarOf(const onnx::TensorProto& tensor) {
  if (std::optional<float> value = scalarValue(tensor)) return *value;
  throw Fail("text model: Clip bound is not a float scalar");
}

}  // namespace

std::string clipBoundsAsAttributes(std::span<const uint8_t> model) {
  onnx::ModelProto proto;
  if (!proto.ParseFromArray(model.data(), static_cast<int>(model.size())))
    throw Fail("text model: the model cannot be parsed");
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
    const char* names[2] = {"min", "max"};
    for (int i = 0; i < 2; ++i) {
      onnx::AttributeProto& attribute = *node.add_attribute();
      attribute.set_name(names[i]);
      attribute.set_type(onnx::AttributeProto::FLOAT);
      attribute.set_f(bounds[i]);
    }
  }

  // Constant nodes nobody reads any more would only be imported as unused
  // blobs.
  removeUnreadConstants(graph);

  std::string bytes;
  if (!proto.SerializeToString(&bytes)) throw Fail("text model: the model cannot be re-serialised");
  return bytes;
}
