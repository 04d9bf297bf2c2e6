# qb_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [PROPERTIES ...])
# Test programs live in <build>/tests, not in the program's folder <build>/bin.
# They find their fixture files through QB_TEST_DATA_DIR and never touch the user's own files.
include(GoogleTest)
function(qb_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main qb_settings)
  target_compile_definitions(${name} PRIVATE
    QB_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
    QB_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# qb_add_bench(NAME SOURCES ... LIBS ...): benchmark programs live in <build>/bench and are run
# by the README's bench command (scripts/bench.sh), never by ctest.
function(qb_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark qb_settings)
  target_compile_definitions(${name} PRIVATE
    QB_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
    QB_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# qb_add_gui_test(NAME SOURCES ... LIBS ...): a window test. It brings the shared main()
# (tests/support/GuiTestMain.cpp: offscreen platform before the QApplication, the user's
# settings and data folders redirected into a temporary folder), so no gtest_main.
function(qb_add_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} qb_gui_test_main qb_settings)
  target_compile_definitions(${name} PRIVATE
    QT_NO_KEYWORDS
    QB_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
    QB_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
