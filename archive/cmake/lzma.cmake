# LZMA and LZMA2 decoders: per-file optimisation of the decoding loops, the native benchmark
# program and the fuzz targets.
if(TARGET qev_archive)
  set_source_files_properties(
    ${CMAKE_CURRENT_SOURCE_DIR}/lzma_decoder.cpp ${CMAKE_CURRENT_SOURCE_DIR}/lzma2_decoder.cpp
    PROPERTIES COMPILE_OPTIONS "-O3")
endif()
if(TARGET qev_archive AND NOT WIN32 AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/lzma_bench_main.cpp)
  add_executable(lzma_bench lzma_bench_main.cpp)
  target_link_libraries(lzma_bench PRIVATE qev_archive)
endif()
if(TARGET qev_archive AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/lzma_fuzz.cpp)
  qev_fuzz(lzma_fuzz lzma_fuzz.cpp DEPS qev_archive
           CORPUS ${PROJECT_SOURCE_DIR}/tests/corpus/archive/lzma/lzma)
endif()
if(TARGET qev_archive AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/lzma2_fuzz.cpp)
  qev_fuzz(lzma2_fuzz lzma2_fuzz.cpp DEPS qev_archive
           CORPUS ${PROJECT_SOURCE_DIR}/tests/corpus/archive/lzma/lzma2)
endif()
