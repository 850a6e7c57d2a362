#pragma once
#include <onnx/onnx_pb.h>

#include <map>
#include <optional>
#include <string>

// The graph's constant tensors by the name nodes read them under: its
// initialisers and the outputs of its Constant nodes. The pointers are into
// `graph` and live as long as its initialisers and nodes are not changed.
std::map<std::string, const onnx::TensorProto*> constantTensors(const onnx::GraphProto& graph);

// The one value of a float tensor of one element (a scalar or a shape of
// ones), stored inline or as raw bytes; none for any other tensor.
std::optional<float> scalarValue(const onnx::TensorProto& tensor);

// Removes the Constant nodes whose output no node and no graph output reads.
void removeUnreadConstants(onnx::GraphProto& graph);
