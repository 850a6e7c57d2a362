#include "vision/onnx_constants.h"

std::map<std::string, const onnx::TensorProto*> constantTensors(const onnx::GraphProto& graph) {
  std::map<std::string, const onnx::TensorProto*> constants;
  for (const auto& tensor : graph.initializer()) constants[tensor.name()] = &tensor;
  for (const auto& node : graph.node()) {
    if (node.op_type() != "Constant" || node.output_size() != 1) continue;
    for (const auto& attribute : node.attribute())
      if (attribute.name() == "value" && attribute.has_t()) constants[node.output(0)] = &attribute.t();
  }
  return constants;
}
