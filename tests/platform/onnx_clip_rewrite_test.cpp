#include "platform/onnx_clip_rewrite.h"

#include <gtest/gtest.h>
#include <onnx/onnx_pb.h>

#include <opencv2/dnn.hpp>

#include "app/fail.h"

namespace {

// y = Clip(x, lo, hi) on 1×1×1×4 values, lo from a Constant node (raw bytes) and hi from an
// initialiser, the way converters write opset-11 graphs.
onnx::ModelProto clipModel(float lo, float hi) {
  onnx::ModelProto model;
  model.set_ir_version(7);
  model.add_opset_import()->set_version(11);
  onnx::GraphProto& graph = *model.mutable_graph();
  for (auto [info, name] : {std::pair{graph.add_input(), "x"}, std::pair{graph.add_output(), "y"}}) {
    info->set_name(name);
    auto& tensor = *info->mutable_type()->mutable_tensor_type();
    tensor.set_elem_type(onnx::TensorProto::FLOAT);
    for (int side : {1, 1, 1, 4}) tensor.mutable_shape()->add_dim()->set_dim_value(side);
  }
  onnx::NodeProto& constant = *graph.add_node();
  constant.set_op_type("Constant");
  constant.add_output("lo");
  onnx::AttributeProto& value = *constant.add_attribute();
  value.set_name("value");
  value.set_type(onnx::AttributeProto::TENSOR);
  value.mutable_t()->set_data_type(onnx::TensorProto::FLOAT);
  value.mutable_t()->set_raw_data(std::string(reinterpret_cast<const char*>(&lo), sizeof lo));
  onnx::TensorProto& bound = *graph.add_initializer();
  bound.set_name("hi");
  bound.set_data_type(onnx::TensorProto::FLOAT);
  bound.add_float_data(hi);
  onnx::NodeProto& clip = *graph.add_node();
  clip.set_op_type("Clip");
  for (const char* input : {"x", "lo", "hi"}) clip.add_input(input);
  clip.add_output("y");
  return model;
}

std::string rewritten(const std::string& bytes) {
  return clipBoundsAsAttributes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

TEST(OnnxClipRewrite, BoundsBecomeAttributesThatOpenCvApplies) {
  std::string model = rewritten(clipModel(-1, 2).SerializeAsString());
  onnx::ModelProto parsed;
  ASSERT_TRUE(parsed.ParseFromString(model));
  ASSERT_EQ(parsed.graph().node_size(), 1);  // the Constant has no user left
  EXPECT_EQ(parsed.graph().node(0).input_size(), 1);
  cv::dnn::Net net = cv::dnn::readNetFromONNX(model.data(), model.size());
  std::vector<float> x = {-3.5f, -1.0f, 0.25f, 7.0f};
  int shape[] = {1, 1, 1, 4};
  net.setInput(cv::Mat(4, shape, CV_32F, x.data()));
  cv::Mat y = net.forward();
  EXPECT_EQ(std::vector<float>(y.begin<float>(), y.end<float>()), (std::vector<float>{-1, -1, 0.25f, 2}));
}

TEST(OnnxClipRewrite, NonConstantBoundOrGarbageFails) {
  onnx::ModelProto model = clipModel(0, 1);
  model.mutable_graph()->mutable_node(1)->set_input(2, "x");  // bound from the data itself
  EXPECT_THROW(rewritten(model.SerializeAsString()), Fail);
  EXPECT_THROW(rewritten("this is not a model"), Fail);
}

}  // namespace
