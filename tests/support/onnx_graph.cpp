#include "support/onnx_graph.h"

void addConstant(onnx::GraphProto& graph, const std::string& name, const std::vector<float>& values,
                 std::vector<int64_t> dims) {
  onnx::AttributeProto& value = *addNode(graph, "Constant", {}, name).add_attribute();
  value.set_name(std::string("value"));
  value.set_type(onnx::AttributeProto::TENSOR);
  value.mutable_t()->set_data_type(onnx::TensorProto::FLOAT);
  if (dims.empty()) dims = {int64_t(values.size())};
  for (int64_t side : dims) value.mutable_t()->add_dims(side);
  for (float v : values) value.mutable_t()->add_float_data(v);
}

onnx::NodeProto& addNode(onnx::GraphProto& graph, const std::string& op, const std::vector<std::string>& inputs,
                         const std::string& output) {
  onnx::NodeProto& node = *graph.add_node();
  node.set_op_type(op);
  for (const std::string& input : inputs) node.add_input(input);
  node.add_output(output);
  return node;
}

void addValue(onnx::ValueInfoProto& value, const std::string& name, int rank) {
  value.set_name(name);
  auto& tensor = *value.mutable_type()->mutable_tensor_type();
  tensor.set_elem_type(onnx::TensorProto::FLOAT);
  for (int i = 0; i < rank; ++i) tensor.mutable_shape()->add_dim()->set_dim_param(std::string(1, char('a' + i)));
}

void addAttribute(onnx::NodeProto& node, const std::string& name, float value) {
  onnx::AttributeProto& attribute = *node.add_attribute();
  attribute.set_name(name);
  attribute.set_type(onnx::AttributeProto::FLOAT);
  attribute.set_f(value);
}

void addAttribute(onnx::NodeProto& node, const std::string& name, std::vector<int64_t> values) {
  onnx::AttributeProto& attribute = *node.add_attribute();
  attribute.set_name(name);
  attribute.set_type(onnx::AttributeProto::INTS);
  for (int64_t value : values) attribute.add_ints(value);
}

std::string modelBytes(const onnx::GraphProto& graph, int opset) {
  onnx::ModelProto model;
  model.set_ir_version(7);
  model.add_opset_import()->set_version(opset);
  *model.mutable_graph() = graph;
  std::string bytes;
  model.SerializeToString(&bytes);
  return bytes;
}
