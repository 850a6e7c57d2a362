# Model files are fetched by scripts/fetch-models (pinned and checksummed) into
# models/ and linked into the binary, so stillpick needs no model path at run
# time. A build without them stops here rather than producing a binary whose
# analyses would silently come back empty.
set(STILLPICK_MODEL_DIR "${CMAKE_CURRENT_SOURCE_DIR}/models" CACHE PATH "Folder holding the fetched model files")
foreach(file centernet.json centernet.bin blazeface-back.json blazeface-back.bin ch_PP-OCRv4_det_infer.onnx ch_PP-OCRv4_rec_infer.onnx ppocr_keys_v1.txt)
  if(NOT EXISTS "${STILLPICK_MODEL_DIR}/${file}")
    message(FATAL_ERROR "model file ${STILLPICK_MODEL_DIR}/${file} is missing: run scripts/fetch-models first")
  endif()
endforeach()

# The PP-OCR networks are rewritten here, once, into what OpenCV 4.6's
# importer reads (src/vision/onnx_*.h), rather than on every run; the
# recogniser with the one input size it is run at (see ctc_recogniser.h).
add_executable(stillpick_prepare_model tools/prepare_model.cpp src/vision/onnx_clip_rewrite.cpp
  src/vision/onnx_depthwise.cpp src/vision/onnx_elementwise.cpp src/vision/onnx_fixed_input.cpp
  src/vision/onnx_constants.cpp src/vision/onnx_editing.cpp)
target_include_directories(stillpick_prepare_model PRIVATE src)
target_compile_options(stillpick_prepare_model PRIVATE ${STILLPICK_WARNINGS})
target_link_libraries(stillpick_prepare_model PRIVATE onnx onnx_proto)
set(prepared "${CMAKE_CURRENT_BINARY_DIR}/models")
add_custom_command(OUTPUT "${prepared}/text_detector.onnx"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${prepared}"
  COMMAND stillpick_prepare_model "${STILLPICK_MODEL_DIR}/ch_PP-OCRv4_det_infer.onnx" "${prepared}/text_detector.onnx"
  DEPENDS stillpick_prepare_model "${STILLPICK_MODEL_DIR}/ch_PP-OCRv4_det_infer.onnx" VERBATIM)
set(STILLPICK_MODEL_PATHS "${STILLPICK_MODEL_DIR}/centernet.json" "${STILLPICK_MODEL_DIR}/centernet.bin"
  "${STILLPICK_MODEL_DIR}/blazeface-back.json" "${STILLPICK_MODEL_DIR}/blazeface-back.bin"
  "${prepared}/text_detector.onnx" "${STILLPICK_MODEL_DIR}/ppocr_keys_v1.txt")
# The recogniser reads crops up to 192 pixels wide (48 tall, 24 steps).
add_custom_command(OUTPUT "${prepared}/text_recogniser.onnx"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${prepared}"
  COMMAND stillpick_prepare_model "${STILLPICK_MODEL_DIR}/ch_PP-OCRv4_rec_infer.onnx"
    "${prepared}/text_recogniser.onnx" 48 192 24
  DEPENDS stillpick_prepare_model "${STILLPICK_MODEL_DIR}/ch_PP-OCRv4_rec_infer.onnx" VERBATIM)
list(APPEND STILLPICK_MODEL_PATHS "${prepared}/text_recogniser.onnx")

# Readings are corrected against an English word list (Debian's wamerican).
set(STILLPICK_WORD_LIST "/usr/share/dict/american-english" CACHE FILEPATH "English word list, one word a line")
if(NOT EXISTS "${STILLPICK_WORD_LIST}")
  message(FATAL_ERROR "word list ${STILLPICK_WORD_LIST} is missing: install wamerican (scripts/setup does)")
endif()
add_custom_command(OUTPUT "${prepared}/english_words.txt"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${prepared}"
  COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/tools/prepare_words.sh" "${STILLPICK_WORD_LIST}" "${prepared}/english_words.txt"
  DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tools/prepare_words.sh" "${STILLPICK_WORD_LIST}" VERBATIM)
list(APPEND STILLPICK_MODEL_PATHS "${prepared}/english_words.txt")

set(models_asm "${CMAKE_CURRENT_BINARY_DIR}/embedded_models.S")
set(content ".section .rodata\n")
foreach(path ${STILLPICK_MODEL_PATHS})
  get_filename_component(file "${path}" NAME)
  string(MAKE_C_IDENTIFIER "${file}" id)
  string(APPEND content
    ".global stillpick_model_${id}_begin\n.global stillpick_model_${id}_end\n.balign 64\n"
    "stillpick_model_${id}_begin:\n.incbin \"${path}\"\nstillpick_model_${id}_end:\n.byte 0\n")
endforeach()
string(APPEND content ".section .note.GNU-stack,\"\",@progbits\n")
file(CONFIGURE OUTPUT "${models_asm}" CONTENT "${content}")
set_source_files_properties("${models_asm}" PROPERTIES OBJECT_DEPENDS "${STILLPICK_MODEL_PATHS}")
set(STILLPICK_MODEL_SOURCES "${models_asm}" "${prepared}/text_detector.onnx" "${prepared}/text_recogniser.onnx"
  "${prepared}/english_words.txt")
