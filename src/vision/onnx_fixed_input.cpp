#include "vision/onnx_fixed_input.h"

#include <onnx/onnx_pb.h>

#include <cstring>
#include <map>

#include "base/fail.h"
#include "vision/onnx_constants.h"
#include "vision/onnx_editing.h"

namespace {

// The floats of a one-dimensional float tensor, however they are stored.
std::vector<float> floatsOf(const onnx::TensorProto& tensor) {
  const auto count = static_cast<size_t>(tensor.dims(0));
  std::vector<float> values(count, 0.0f);
  if (tensor.raw_data().size() == count * sizeof(float))
    std::memcpy(values.data(), tensor.raw_data().data(), count * sizeof(float));
  else if (static_cast<size_t>(tensor.float_data_size()) == count)
    std::copy(tensor.float_data().begin(), tensor.float_data().end(), values.begin());
  else
    throw Fail("text model: a constant's data does not match its size");
  return values;
}

bool isChannelVector(const onnx::TensorProto& tensor) {
  return tensor.data_type() == onnx::TensorProto::FLOAT && tensor.dims_size() == 1 && tensor.dims(0) > 1;
}

onnx::NodeProto constantNode(const std::string& name, const std::vector<float>& channels, int64_t steps) {
  onnx::NodeProto node;
  node.set_op_type("Constant");
  node.add_output(name);
  onnx::AttributeProto& value = *node.add_attribute();
  value.set_name("value");
  value.set_type(onnx::AttributeProto::TENSOR);
  onnx::TensorProto& tensor = *value.mutable_t();
  tensor.set_data_type(onnx::TensorProto::FLOAT);
  for (int64_t side : {int64_t{1}, steps, static_cast<int64_t>(channels.size())}) tensor.add_dims(side);
  std::string& raw = *tensor.mutable_raw_data();
  for (int64_t step = 0; step < steps; ++step)
    raw.append(reinterpret_cast<const char*>(channels.data()), channels.size() * sizeof(float));
  return node;
}

}  // namespace

std::string withFixedInput(const std::string& model, const std::vector<int64_t>& dims, int64_t steps) {
  onnx::ModelProto proto = parsedModel(model);
  onnx::GraphProto& graph = *proto.mutable_graph();
  if (graph.input_size() < 1) throw Fail("text model: the model has no input");
  auto& shape = *graph.mutable_input(0)->mutable_type()->mutable_tensor_type()->mutable_shape();
  if (shape.dim_size() != static_cast<int>(dims.size())) throw Fail("text model: the input has another rank");
  for (int i = 0; i < shape.dim_size(); ++i) shape.mutable_dim(i)->set_dim_value(dims[size_t(i)]);

  const std::map<std::string, const onnx::TensorProto*> constants = constantTensors(graph);
  // Tiled copies go first, where every node can read them; the originals
  // stay for any other reader.
  std::vector<onnx::NodeProto> tiled;
  std::map<std::string, std::string> tiledName;
  for (auto& node : *graph.mutable_node()) {
    if (node.op_type() != "Mul" && node.op_type() != "Add") continue;
    for (int i = 0; i < node.input_size(); ++i) {
      auto found = constants.find(node.input(i));
      if (found == constants.end() || !isChannelVector(*found->second)) continue;
      auto [named, fresh] = tiledName.try_emplace(node.input(i), node.input(i) + "/tiled");
      if (fresh) tiled.push_back(constantNode(named->second, floatsOf(*found->second), steps));
      node.set_input(i, named->second);
    }
  }
  google::protobuf::RepeatedPtrField<onnx::NodeProto> nodes;
  for (auto& node : tiled) *nodes.Add() = std::move(node);
  for (auto& node : *graph.mutable_node()) *nodes.Add() = std::move(node);
  graph.mutable_node()->Swap(&nodes);

  return serialisedModel(proto);
}
