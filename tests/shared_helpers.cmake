# Helpers of the tests that the benchmarks and the fuzzers use as well: header-only libraries,
# each exposing its own folder, defined whether or not the tests are built.

# Frames made in memory for the frame-data and timeline tests and benchmarks (test_frame.h), and
# the text dumps of item models that tests compare whole (model_dump.h).
add_library(gpuprof_test_frames INTERFACE)
target_include_directories(gpuprof_test_frames INTERFACE ${CMAKE_CURRENT_LIST_DIR}/framedata)
target_link_libraries(gpuprof_test_frames INTERFACE gpuprofiler_frame)

# Texture and buffer list payloads written byte by byte (resource_payload_builder.h).
add_library(gpuprof_resource_payloads INTERFACE)
target_include_directories(gpuprof_resource_payloads INTERFACE ${CMAKE_CURRENT_LIST_DIR}/resources)
target_link_libraries(gpuprof_resource_payloads INTERFACE bedrock)

# The independent unpacker that the packed chunks are checked against (reference_unpacker.h).
add_library(gpuprof_reference_unpacker INTERFACE)
target_include_directories(gpuprof_reference_unpacker INTERFACE ${CMAKE_CURRENT_LIST_DIR}/plugin)
target_link_libraries(gpuprof_reference_unpacker INTERFACE bedrock)
