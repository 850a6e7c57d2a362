#pragma once
#include <onnx/onnx_pb.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What the build-time rewrites of the text models share: reading and
// writing a model, and a node's attributes.

// The model held by `bytes`; throws Fail "text model: the model cannot be
// parsed" when they are not one.
onnx::ModelProto parsedModel(std::span<const uint8_t> bytes);
onnx::ModelProto parsedModel(const std::string& bytes);
// The model serialised; throws Fail when it cannot be.
std::string serialisedModel(const onnx::ModelProto& model);

// The node's attribute `name`, or null.
const onnx::AttributeProto* attributeOf(const onnx::NodeProto& node, const std::string& name);
// The integers of its attribute `name`, or none when it has no such attribute.
std::optional<std::vector<int64_t>> intsOf(const onnx::NodeProto& node, const std::string& name);
// The float of its attribute `name`, or none when it has no such float.
std::optional<float> floatOf(const onnx::NodeProto& node, const std::string& name);

// Adds attribute `name` holding `value` to the node.
void addInt(onnx::NodeProto& node, const std::string& name, int64_t value);
void addFloat(onnx::NodeProto& node, const std::string& name, float value);
