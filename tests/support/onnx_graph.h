#pragma once
#include <onnx/onnx_pb.h>

#include <cstdint>
#include <string>
#include <vector>

// Small ONNX graphs written out by hand, for the model rewrites' tests.

// A Constant node giving float tensor `name` of `dims` (one dimension of all
// the values when none are given).
void addConstant(onnx::GraphProto& graph, const std::string& name, const std::vector<float>& values,
                 std::vector<int64_t> dims = {});

// A node of type `op` reading `inputs` and giving `output`.
onnx::NodeProto& addNode(onnx::GraphProto& graph, const std::string& op, const std::vector<std::string>& inputs,
                         const std::string& output);

// A graph input or output `name` of float tensors of `rank` named dimensions.
void addValue(onnx::ValueInfoProto& value, const std::string& name, int rank);

void addAttribute(onnx::NodeProto& node, const std::string& name, float value);
void addAttribute(onnx::NodeProto& node, const std::string& name, std::vector<int64_t> values);

// The model holding `graph`, serialised.
std::string modelBytes(const onnx::GraphProto& graph, int opset);
