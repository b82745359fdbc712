# The 7z test corpus, made with the real 7-Zip before the archive tests run, and how the tests
# find it and the archive library DLL.
find_program(QEV_SEVEN_ZIP 7zz)
if(TARGET sevenzip_dll)
  # setup.exe carries the library: leave the symbols out of the release image.
  target_link_options(sevenzip_dll PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()
if(QEV_BUILD_TESTS AND TARGET archive_tests)
  if(TARGET sevenzip_dll)
    add_dependencies(archive_tests sevenzip_dll)
  endif()
  if(QEV_SEVEN_ZIP)
    set(qev_corpus ${CMAKE_BINARY_DIR}/corpus)
    add_test(NAME ${QEV_TEST_PREFIX}archive_corpus
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/archives/make_corpus.sh ${qev_corpus})
    set_tests_properties(${QEV_TEST_PREFIX}archive_corpus PROPERTIES
      FIXTURES_SETUP ${QEV_TEST_PREFIX}archive_corpus)
    foreach(t ${QEV_TEST_PREFIX}archive ${QEV_TEST_PREFIX}archive_winarch32)
      if(TEST ${t})
        set_property(TEST ${t} APPEND PROPERTY FIXTURES_REQUIRED ${QEV_TEST_PREFIX}archive_corpus)
        set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT "QEV_CORPUS_DIR=${qev_corpus}")
      endif()
    endforeach()
  endif()
endif()

# The command-line parser, masks and name check on arbitrary bytes.
qev_fuzz(command_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/command_fuzz.cpp
         CORPUS ${PROJECT_SOURCE_DIR}/tests/corpus/archive/command DEPS qev_archive)
