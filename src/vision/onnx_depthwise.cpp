#include "vision/onnx_depthwise.h"

#include <onnx/onnx_pb.h>

#include <map>
#include <optional>
#include <vector>

#include "vision/depthwise_layer.h"
#include "vision/onnx_constants.h"
#include "vision/onnx_editing.h"

namespace {

// The strides of a 5 × 5 depthwise convolution the layer computes; none for
// any other node.
std::optional<std::vector<int64_t>> depthwiseStrides(const onnx::NodeProto& node,
                                                     const std::map<std::string, const onnx::TensorProto*>& constants) {
  if (node.op_type() != "Conv" || node.input_size() < 2 || node.input_size() > 3 || node.output_size() != 1)
    return std::nullopt;
  for (int i = 1; i < node.input_size(); ++i)  // weights and bias
    if (!constants.count(node.input(i))) return std::nullopt;
  const onnx::TensorProto& weights = *constants.at(node.input(1));
  if (weights.data_type() != onnx::TensorProto::FLOAT || weights.dims_size() != 4 || weights.dims(1) != 1)
    return std::nullopt;
  const onnx::AttributeProto* group = attributeOf(node, "group");
  if (!group || group->i() != weights.dims(0)) return std::nullopt;
  if (const onnx::AttributeProto* pad = attributeOf(node, "auto_pad"); pad && pad->s() != "NOTSET")
    return std::nullopt;
  if (intsOf(node, "pads") != std::vector<int64_t>{2, 2, 2, 2}) return std::nullopt;
  const std::vector<int64_t> dilations = intsOf(node, "dilations").value_or(std::vector<int64_t>{1, 1});
  std::vector<int64_t> strides = intsOf(node, "strides").value_or(std::vector<int64_t>{1, 1});
  if (dilations.size() != 2 || strides.size() != 2 ||
      !depthwiseLayerComputes(int(weights.dims(2)), int(weights.dims(3)), int(strides[0]), int(strides[1]),
                              int(dilations[0]), int(dilations[1])))
    return std::nullopt;
  return strides;
}

}  // namespace

std::string withDepthwiseNodes(const std::string& model) {
  onnx::ModelProto proto = parsedModel(model);
  onnx::GraphProto& graph = *proto.mutable_graph();
  const std::map<std::string, const onnx::TensorProto*> constants = constantTensors(graph);
  for (onnx::NodeProto& node : *graph.mutable_node()) {
    const std::optional<std::vector<int64_t>> strides = depthwiseStrides(node, constants);
    if (!strides) continue;
    node.set_op_type(kDepthwiseLayer);
    node.clear_attribute();
    addInt(node, "stride_h", (*strides)[0]);
    addInt(node, "stride_w", (*strides)[1]);
  }
  return serialisedModel(proto);
}
