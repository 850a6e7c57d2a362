#include "vision/onnx_constants.h"

#include <cstring>
#include <set>

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

std::optional<float> scalarValue(const onnx::TensorProto& tensor) {
  if (tensor.data_type() != onnx::TensorProto::FLOAT) return std::nullopt;
  for (int64_t side : tensor.dims())
    if (side != 1) return std::nullopt;
  if (tensor.float_data_size() == 1) return tensor.float_data(0);
  if (tensor.float_data_size() == 0 && tensor.raw_data().size() == sizeof(float)) {
    float value;
    std::memcpy(&value, tensor.raw_data().data(), sizeof value);
    return value;
  }
  return std::nullopt;
}

void removeUnreadConstants(onnx::GraphProto& graph) {
  std::set<std::string> used;
  for (const auto& node : graph.node())
    for (const auto& input : node.input()) used.insert(input);
  for (const auto& output : graph.output()) used.insert(output.name());
  auto& nodes = *graph.mutable_node();
  for (int i = nodes.size() - 1; i >= 0; --i) {
    const auto& node = nodes.Get(i);
    if (node.op_type() == "Constant" && node.output_size() == 1 && !used.count(node.output(0)))
      nodes.DeleteSubrange(i, 1);
  }
}
