# The Win32 serial port on COM ports under Wine, over pseudo-terminals that a
# wrapper links into the prefix; the test is its own peer. One CTest test for
# the whole executable: it cannot run (nor list its tests) without the links.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  add_executable(serial_wine_com_tests ${CMAKE_CURRENT_LIST_DIR}/wine_com_ports_win32.cpp
                 ${PROJECT_SOURCE_DIR}/tests/tests_main.cpp)
  target_link_libraries(serial_wine_com_tests PRIVATE kelvora_core kelvora_test_support GTest::gtest)
  target_include_directories(serial_wine_com_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME serial_wine_com_ports
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine_com_ports.sh ${CMAKE_BINARY_DIR}/wine-run.sh
                   $<TARGET_FILE:serial_wine_com_tests> ${KELVORA_WINEPREFIX})
  set_tests_properties(serial_wine_com_ports PROPERTIES LABELS serial TIMEOUT 300 RUN_SERIAL TRUE)
endif()
