#include "vision/onnx_clip_rewrite.h"

#include <onnx/onnx_pb.h>

#include <cstring>
#include <limits>
#include <map>
#include <set>

#include "base/fail.h"
#include "vision/onnx_constants.h"

namespace {

// The one float held by a scalar (or one-element) tensor.
float scalarOf(const onnx::TensorProto& tensor) {
  if (tensor.data_type() != onnx::TensorProto::FLOAT) throw Fail("text model: Clip bound is not a float");
  if (tensor.float_data_size() == 1) return tensor.float_data(0);
  if (tensor.raw_data().size() == sizeof(float)) {
    float value;
    std::memcpy(&value, tensor.raw_data().data(), sizeof value);
    return value;
  }
  throw Fail("text model: Clip bound is not a scalar");
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

  std::string bytes;
  if (!proto.SerializeToString(&bytes)) throw Fail("text model: the model cannot be re-serialised");
  return bytes;
}
