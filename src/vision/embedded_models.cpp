#include "vision/embedded_models.h"

extern "C" {
extern const uint8_t stillpick_model_centernet_json_begin[], stillpick_model_centernet_json_end[];
extern const uint8_t stillpick_model_centernet_bin_begin[], stillpick_model_centernet_bin_end[];
extern const uint8_t stillpick_model_blazeface_back_json_begin[], stillpick_model_blazeface_back_json_end[];
extern const uint8_t stillpick_model_blazeface_back_bin_begin[], stillpick_model_blazeface_back_bin_end[];
extern const uint8_t stillpick_model_text_detector_onnx_begin[], stillpick_model_text_detector_onnx_end[];
extern const uint8_t stillpick_model_text_recogniser_onnx_begin[], stillpick_model_text_recogniser_onnx_end[];
extern const uint8_t stillpick_model_ppocr_keys_v1_txt_begin[], stillpick_model_ppocr_keys_v1_txt_end[];
extern const uint8_t stillpick_model_english_words_txt_begin[], stillpick_model_english_words_txt_end[];
}

namespace {

std::string_view textOf(const uint8_t* begin, const uint8_t* end) {
  return {reinterpret_cast<const char*>(begin), size_t(end - begin)};
}

}  // namespace

std::span<const uint8_t> centernetGraph() {
  return {stillpick_model_centernet_json_begin, stillpick_model_centernet_json_end};
}

std::span<const uint8_t> centernetWeights() {
  return {stillpick_model_centernet_bin_begin, stillpick_model_centernet_bin_end};
}

std::span<const uint8_t> faceDetectorGraph() {
  return {stillpick_model_blazeface_back_json_begin, stillpick_model_blazeface_back_json_end};
}

std::span<const uint8_t> faceDetectorWeights() {
  return {stillpick_model_blazeface_back_bin_begin, stillpick_model_blazeface_back_bin_end};
}

std::span<const uint8_t> textDetectorOnnx() {
  return {stillpick_model_text_detector_onnx_begin, stillpick_model_text_detector_onnx_end};
}

std::span<const uint8_t> textRecogniserOnnx() {
  return {stillpick_model_text_recogniser_onnx_begin, stillpick_model_text_recogniser_onnx_end};
}

std::string_view textRecogniserKeys() {
  return textOf(stillpick_model_ppocr_keys_v1_txt_begin, stillpick_model_ppocr_keys_v1_txt_end);
}

std::string_view englishWords() {
  return textOf(stillpick_model_english_words_txt_begin, stillpick_model_english_words_txt_end);
}
