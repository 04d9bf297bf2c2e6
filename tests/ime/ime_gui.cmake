# The window tests: the shared window-test main() (qb_gui_test_main), so no gtest_main.
add_executable(test_ime_window test_ime_window.cpp)
target_link_libraries(test_ime_window PRIVATE qb_imewin qb_gbk qb_gui_test_main Qt6::Widgets Qt6::Test GTest::gtest
                      qb_settings)
target_include_directories(test_ime_window PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(test_ime_window PRIVATE
  QB_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
  QB_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
)
set_target_properties(test_ime_window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
gtest_discover_tests(test_ime_window DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

# Focus behaviour and real X key events: under Xvfb (xvfb-run), platform xcb. Without xvfb-run the
# test is not registered; without xdotool its key cases skip.
add_executable(test_ime_x11 test_ime_x11.cpp)
target_link_libraries(test_ime_x11 PRIVATE qb_imewin qb_gbk qb_gui_test_main Qt6::Widgets Qt6::Test GTest::gtest
                      qb_settings)
target_include_directories(test_ime_x11 PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(test_ime_x11 PRIVATE
  QB_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures" QB_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
  QB_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
set_target_properties(test_ime_x11 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
find_program(QB_XVFB_RUN xvfb-run)
if(QB_XVFB_RUN)
  add_test(NAME ime.x11_focus_and_real_keys
    COMMAND ${QB_XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:test_ime_x11>)
  set_tests_properties(ime.x11_focus_and_real_keys PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb" TIMEOUT 120)
endif()
