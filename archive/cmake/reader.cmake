# The archive reader's fuzz target (header parsing and extraction of hostile archives) and its
# benchmark program.
qev_fuzz(header_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/header_fuzz.cpp
         CORPUS ${PROJECT_SOURCE_DIR}/tests/corpus/archive/headers DEPS qev_archive)
if(NOT WIN32)
  add_executable(reader_bench ${CMAKE_CURRENT_SOURCE_DIR}/reader_bench_main.cpp)
  target_link_libraries(reader_bench PRIVATE qev_archive)
endif()
