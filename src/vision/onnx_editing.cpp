#include "vision/onnx_editing.h"

#include "base/fail.h"

onnx::ModelProto parsedModel(std::span<const uint8_t> bytes) {
  onnx::ModelProto model;
  if (!model.ParseFromArray(bytes.data(), static_cast<int>(bytes.size())))
    throw Fail("text model: the model cannot be parsed");
  return model;
}

onnx::ModelProto parsedModel(const std::string& bytes) {
  return parsedModel(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::string serialisedModel(const onnx::ModelProto& model) {
  std::string bytes;
  if (!model.SerializeToString(&bytes)) throw Fail("text model: the model cannot be re-serialised");
  return bytes;
}

const onnx::AttributeProto* attributeOf(const onnx::NodeProto& node, const std::string& name) {
  for (const auto& attribute : node.attribute())
    if (attribute.name() == name) return &attribute;
  return nullptr;
}

std::optional<std::vector<int64_t>> intsOf(const onnx::NodeProto& node, const std::string& name) {
  const onnx::AttributeProto* attribute = attributeOf(node, name);
  if (!attribute) return std::nullopt;
  return std::vector<int64_t>(attribute->ints().begin(), attribute->ints().end());
}

std::optional<float> floatOf(const onnx::NodeProto& node, const std::string& name) {
  const onnx::AttributeProto* attribute = attributeOf(node, name);
  if (!attribute || attribute->type() != onnx::AttributeProto::FLOAT) return std::nullopt;
  return attribute->f();
}

void addInt(onnx::NodeProto& node, const std::string& name, int64_t value) {
  onnx::AttributeProto& attribute = *node.add_attribute();
  attribute.set_name(name);
  attribute.set_type(onnx::AttributeProto::INT);
  attribute.set_i(value);
}

void addFloat(onnx::NodeProto& node, const std::string& name, float value) {
  onnx::AttributeProto& attribute = *node.add_attribute();
  attribute.set_name(name);
  attribute.set_type(onnx::AttributeProto::FLOAT);
  attribute.set_f(value);
}
