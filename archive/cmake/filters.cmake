# Programs and fuzz targets of the filter, BCJ2, AES and other decoders.
if(TARGET qev_archive AND NOT WIN32)
  add_executable(filters_bench ${CMAKE_CURRENT_SOURCE_DIR}/filters_bench_main.cpp)
  target_link_libraries(filters_bench PRIVATE qev_archive)
  target_compile_definitions(filters_bench PRIVATE QEV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
qev_fuzz(filters_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/filters_fuzz.cpp
         DEPS qev_archive CORPUS ${PROJECT_SOURCE_DIR}/tests/corpus/archive/filters)
qev_fuzz(codecs_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/codecs_fuzz.cpp
         DEPS qev_archive CORPUS ${PROJECT_SOURCE_DIR}/tests/corpus/archive/codecs)
# The Deflate tests compare with zlib's encoder.
if(TARGET archive_tests)
  target_link_libraries(archive_tests PRIVATE ZLIB::ZLIB)
endif()
