#include "vision/embedded_models.h"

extern "C" {
extern const uint8_t stillpick_model_centernet_json_begin[], stillpick_model_centernet_json_end[];
extern const uint8_t stillpick_model_centernet_bin_begin[], stillpick_model_centernet_bin_end[];
extern const uint8_t stillpick_model_ch_PP_OCRv4_det_infer_onnx_begin[],
    stillpick_model_ch_PP_OCRv4_det_infer_onnx_end[];
}

std::span<const uint8_t> centernetGraph() {
  return {stillpick_model_centernet_json_begin, stillpick_model_centernet_json_end};
}

std::span<const uint8_t> centernetWeights() {
  return {stillpick_model_centernet_bin_begin, stillpick_model_centernet_bin_end};
}

std::span<const uint8_t> textDetectorOnnx() {
  return {stillpick_model_ch_PP_OCRv4_det_infer_onnx_begin, stillpick_model_ch_PP_OCRv4_det_infer_onnx_end};
}
