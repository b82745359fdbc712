# One static library per top folder, assembled from the folder's files by name:
#   foo.cpp          part of the library on every build
#   foo_win32.cpp    part of the library on the Windows build only
#   foo_posix.cpp    part of the library on the native build only
#   foo_test.cpp     unit test (GoogleTest), on both builds; foo_win32_test.cpp / foo_posix_test.cpp on one
#   foo_main.cpp     a program's main; the folder's CMakeLists adds it itself
#   foo_fuzz.cpp     a fuzz target; native build only, added by qev_fuzz
# Tests of one folder form one executable "<module>_tests", one CTest entry.
# The library target is "qev_<module>"; DEPS name other modules without the prefix.
function(qev_module module)
  cmake_parse_arguments(M "" "" "DEPS;WIN32_LIBS;NATIVE_LIBS;TEST_DEPS" ${ARGN})
  set(name qev_${module})
  set(deps)
  foreach(d ${M_DEPS})
    if(d MATCHES "::")
      list(APPEND deps ${d})
    else()
      list(APPEND deps qev_${d})
    endif()
  endforeach()
  set(M_DEPS ${deps})
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(lib_sources)
  set(test_sources)
  foreach(f ${files})
    get_filename_component(n ${f} NAME)
    if(n MATCHES "_(main|fuzz)\\.cpp$")
      continue()
    elseif(n MATCHES "_win32_test\\.cpp$")
      if(WIN32)
        list(APPEND test_sources ${f})
      endif()
    elseif(n MATCHES "_posix_test\\.cpp$")
      if(NOT WIN32)
        list(APPEND test_sources ${f})
      endif()
    elseif(n MATCHES "_test\\.cpp$")
      list(APPEND test_sources ${f})
    elseif(n MATCHES "_win32\\.cpp$")
      if(WIN32)
        list(APPEND lib_sources ${f})
      endif()
    elseif(n MATCHES "_posix\\.cpp$")
      if(NOT WIN32)
        list(APPEND lib_sources ${f})
      endif()
    else()
      list(APPEND lib_sources ${f})
    endif()
  endforeach()
  if(lib_sources)
    add_library(${name} STATIC ${lib_sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${M_DEPS})
    if(WIN32)
      target_link_libraries(${name} PUBLIC ${M_WIN32_LIBS})
    else()
      target_link_libraries(${name} PUBLIC ${M_NATIVE_LIBS})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${M_DEPS})
  endif()
  if(test_sources AND QEV_BUILD_TESTS)
    add_executable(${module}_tests ${test_sources})
    target_link_libraries(${module}_tests PRIVATE ${name} ${M_TEST_DEPS} qev_gtest_main)
    target_compile_definitions(${module}_tests PRIVATE QEV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    if(WIN32 AND NOT QEV_RUN_WINDOWS_TESTS)
      return()
    endif()
    add_test(NAME ${QEV_TEST_PREFIX}${module} COMMAND ${module}_tests)
    set_tests_properties(${QEV_TEST_PREFIX}${module} PROPERTIES
      ENVIRONMENT "QEV_BINARY_DIR=${CMAKE_BINARY_DIR};QEV_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
    if(WIN32)
      # The runner ends with 77 where this tree's programs cannot run: counted as skipped.
      set_tests_properties(${QEV_TEST_PREFIX}${module} PROPERTIES SKIP_RETURN_CODE 77)
    endif()
  endif()
endfunction()

# A libFuzzer target (clang only) or, with GCC, a replay driver that runs the target over a corpus
# folder and random inputs; both run the same LLVMFuzzerTestOneInput. CTest replays a fixed
# seed, so a run is repeatable; run the target by hand (no --seed) to explore new inputs.
function(qev_fuzz name source)
  if(WIN32 OR NOT QEV_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "DEPS" ${ARGN})
  add_executable(${name} ${source} ${PROJECT_SOURCE_DIR}/tests/fuzz_driver.cpp)
  target_link_libraries(${name} PRIVATE ${F_DEPS})
  if(F_CORPUS)
    add_test(NAME ${QEV_TEST_PREFIX}${name} COMMAND ${name} ${F_CORPUS} --runs=20000 --seed=20261208)
  endif()
endfunction()

# A Windows test written once and run in both Windows trees: in the win64 tree with the 64-bit
# build under wine64, in the win32 tree with the programs that ship, in the 32-bit lane.
#   qev_windows_test(NAME name COMMAND command... [NO_LOCK])
# The command reaches Wine through ${QEV_WINE_ARGS} (run.sh and the tree's prefix) and the
# environment variable QEV_WINE_ARCH (tests/e2e/qevtest.py reads it); it ends with 77 when the
# tree's programs cannot run here, which CTest counts as skipped. Unless NO_LOCK is given, the
# test never runs beside another one that changes the prefix or takes the display's keyboard.
function(qev_windows_test)
  cmake_parse_arguments(T "NO_LOCK" "NAME" "COMMAND" ${ARGN})
  if(NOT WIN32 OR NOT QEV_BUILD_TESTS OR NOT QEV_RUN_WINDOWS_TESTS)
    return()
  endif()
  set(test ${QEV_TEST_PREFIX}${T_NAME})
  add_test(NAME ${test} COMMAND ${T_COMMAND})
  set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77
    ENVIRONMENT "QEV_WINE_ARCH=${QEV_WINE_ARCH};QEV_BINARY_DIR=${CMAKE_BINARY_DIR};QEV_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(NOT T_NO_LOCK)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK wine_e2e)
  endif()
endfunction()
