# The COM shell's unit tests link its shared part; the products are tested
# through their entry points (dlopen natively, Wine for Kelvora.dll).
if(TARGET com_tests AND TARGET kelvora_com)
  target_link_libraries(com_tests PRIVATE kelvora_com)
  if(NOT WIN32)
    add_dependencies(com_tests Kelvora)
    target_compile_definitions(com_tests PRIVATE KELVORA_SHARED_LIBRARY="$<TARGET_FILE:Kelvora>")
    target_link_libraries(com_tests PRIVATE ${CMAKE_DL_LIBS})
  endif()
endif()

# The telemetry road end to end over the simulator's modems, natively
# through libkelvora.so.
if(NOT WIN32 AND TARGET Kelvora AND TARGET kelvora_modemsim)
  kelvora_add_test(com_road_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/road/road_posix_test.cpp ${PROJECT_SOURCE_DIR}/tests/tests_main.cpp
    LIBS kelvora_modemsim ${CMAKE_DL_LIBS}
    LABELS com road)
  target_include_directories(com_road_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/road)
  target_compile_definitions(com_road_tests PRIVATE KELVORA_SHARED_LIBRARY="$<TARGET_FILE:Kelvora>")
  add_dependencies(com_road_tests Kelvora)
endif()

# Kelvora.dll under Wine, reached only through its exports, the registry and
# COM: this executable links none of the driver's code.
if(WIN32 AND TARGET Kelvora)
  file(GLOB dll_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/dll/*_test.cpp)
  add_executable(com_dll_tests ${dll_test_sources} ${PROJECT_SOURCE_DIR}/tests/tests_main.cpp)
  target_include_directories(com_dll_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR}/dll)
  target_compile_definitions(com_dll_tests PRIVATE KELVORA_DLL_PATH="$<TARGET_FILE:Kelvora>")
  target_link_libraries(com_dll_tests PRIVATE GTest::gtest ole32 oleaut32 uuid advapi32 version)
  add_dependencies(com_dll_tests Kelvora)
  gtest_discover_tests(com_dll_tests
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS "com;dll" TIMEOUT 300)
endif()

# The road under Wine needs the native simulator, from the native build of
# this tree (./run builds it first): it links its modems into this build's
# Wine prefix as COM31 and COM32 and runs the test inside.
if(WIN32 AND TARGET Kelvora)
  add_executable(com_road_wine_tests ${CMAKE_CURRENT_LIST_DIR}/dll/road/road_wine_test.cpp
                                     ${PROJECT_SOURCE_DIR}/tests/tests_main.cpp)
  target_include_directories(com_road_wine_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR}/dll
                                                         ${CMAKE_CURRENT_LIST_DIR}/road)
  target_compile_definitions(com_road_wine_tests PRIVATE KELVORA_DLL_PATH="$<TARGET_FILE:Kelvora>")
  target_link_libraries(com_road_wine_tests PRIVATE GTest::gtest ole32 oleaut32 uuid advapi32)
  add_dependencies(com_road_wine_tests Kelvora)
  kelvora_add_simulator_test(com_road_wine TARGET com_road_wine_tests COM_BASE 31 LABELS com e2e wine)
endif()

# The identifiers' copies in files that cannot include their header.
set(classes "${KELVORA_ClsidSMSClient},${KELVORA_ClsidSMSServer}")
set(all "${classes},${KELVORA_LibidKelvora},${KELVORA_IidISMSClient},${KELVORA_IidISMSServer}")
add_test(NAME com_identifiers_everywhere
         COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} "-DCLASSES=${classes}" "-DALL=${all}"
                 -P ${CMAKE_CURRENT_LIST_DIR}/identifiers_check.cmake)
set_tests_properties(com_identifiers_everywhere PROPERTIES LABELS com)
