#pragma once
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <opencv2/dnn.hpp>
#include <span>
#include <string>
#include <vector>

// A TensorFlow.js graph model: the nodes of its model.json and the constant
// tensors of its weight file, decoded to single precision.
struct TfjsNode {
  std::string name;
  std::string op;
  std::vector<std::string> inputs;  // tensor names, ":0" suffixes removed, control inputs dropped
  nlohmann::json attr;
};

struct TfjsTensor {
  std::vector<int> shape;
  std::vector<float> values;
};

struct TfjsGraph {
  std::map<std::string, TfjsNode> nodes;
  std::map<std::string, TfjsTensor> constants;
};

// Reads model.json and the concatenated bytes of its weight files. Weights
// may be stored as float32, int32, float16, or affine-quantised uint8/uint16,
// as the weights manifest says. Throws Fail on malformed input.
TfjsGraph readTfjsGraph(std::span<const uint8_t> modelJson, std::span<const uint8_t> weights);

// An OpenCV network computing some tensors of a graph, in NCHW layout.
struct ImportedNet {
  cv::dnn::Net net;
  std::vector<std::string> outputLayers;  // the layer giving each requested tensor, in request order
};

// Builds only the nodes that `outputs` depend on. The graph's Placeholder is
// the network's one input (an NCHW blob). Throws Fail for operations,
// attributes or shapes it cannot express.
ImportedNet buildNet(const TfjsGraph& graph, const std::vector<std::string>& outputs);
