# Model files are fetched by scripts/fetch-models (pinned and checksummed) into
# models/ and linked into the binary, so stillpick needs no model path at run
# time. A build without them stops here rather than producing a binary whose
# analyses would silently come back empty.
set(STILLPICK_MODEL_DIR "${CMAKE_CURRENT_SOURCE_DIR}/models" CACHE PATH "Folder holding the fetched model files")
set(STILLPICK_MODEL_FILES centernet.json centernet.bin ch_PP-OCRv4_det_infer.onnx)
set(STILLPICK_MODEL_SOURCES "")
foreach(file ${STILLPICK_MODEL_FILES})
  if(NOT EXISTS "${STILLPICK_MODEL_DIR}/${file}")
    message(FATAL_ERROR "model file ${STILLPICK_MODEL_DIR}/${file} is missing: run scripts/fetch-models first")
  endif()
endforeach()
set(models_asm "${CMAKE_CURRENT_BINARY_DIR}/embedded_models.S")
set(content ".section .rodata\n")
foreach(file ${STILLPICK_MODEL_FILES})
  string(MAKE_C_IDENTIFIER "${file}" id)
  string(APPEND content
    ".global stillpick_model_${id}_begin\n.global stillpick_model_${id}_end\n.balign 64\n"
    "stillpick_model_${id}_begin:\n.incbin \"${STILLPICK_MODEL_DIR}/${file}\"\nstillpick_model_${id}_end:\n.byte 0\n")
endforeach()
string(APPEND content ".section .note.GNU-stack,\"\",@progbits\n")
file(CONFIGURE OUTPUT "${models_asm}" CONTENT "${content}")
set_source_files_properties("${models_asm}" PROPERTIES OBJECT_DEPENDS
  "${STILLPICK_MODEL_DIR}/centernet.json;${STILLPICK_MODEL_DIR}/centernet.bin;${STILLPICK_MODEL_DIR}/ch_PP-OCRv4_det_infer.onnx")
list(APPEND STILLPICK_MODEL_SOURCES "${models_asm}")
