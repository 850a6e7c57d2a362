#pragma once
#include <onnx/onnx_pb.h>

#include <map>
#include <string>

// The graph's constant tensors by the name nodes read them under: its
// initialisers and the outputs of its Constant nodes. The pointers are into
// `graph` and live as long as its initialisers and nodes are not changed.
std::map<std::string, const onnx::TensorProto*> constantTensors(const onnx::GraphProto& graph);
