# Modem tests beyond the unit executable: the embedded transcripts, the
# cross-check with Gammu (native), and the end-to-end run on the simulator.
file(GLOB modem_transcripts CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/transcripts/*.txt)
set(modem_generated ${CMAKE_CURRENT_BINARY_DIR}/modem_generated)
add_custom_command(
  OUTPUT ${modem_generated}/modem_transcripts.h
  COMMAND ${CMAKE_COMMAND} -E make_directory ${modem_generated}
  COMMAND ${CMAKE_COMMAND} -DDIR=${CMAKE_CURRENT_LIST_DIR}/transcripts -DOUTPUT=${modem_generated}/modem_transcripts.h
          -P ${CMAKE_CURRENT_LIST_DIR}/embed_transcripts.cmake
  DEPENDS ${modem_transcripts} ${CMAKE_CURRENT_LIST_DIR}/embed_transcripts.cmake
  COMMENT "Embedding the modem transcripts"
  VERBATIM)
add_custom_target(modem_transcripts DEPENDS ${modem_generated}/modem_transcripts.h)
if(TARGET modem_tests)
  add_dependencies(modem_tests modem_transcripts)
  target_include_directories(modem_tests PRIVATE ${modem_generated})
endif()

# Cross-check with Gammu (native only): our SUBMIT PDUs through gammu.DecodePDU,
# gammu's DELIVER PDUs through our decoder. Debian's python3-gammu lives with
# the system's python3.
if(NOT WIN32)
  add_executable(modem_pdu_tool ${CMAKE_CURRENT_LIST_DIR}/pdu_tool.cpp)
  target_link_libraries(modem_pdu_tool PRIVATE kelvora_core)
  find_program(KELVORA_SYSTEM_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
  if(NOT KELVORA_SYSTEM_PYTHON3)
    find_program(KELVORA_SYSTEM_PYTHON3 python3 REQUIRED)
  endif()
  add_test(NAME modem_gammu_crosscheck
           COMMAND ${KELVORA_SYSTEM_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/gammu_crosscheck.py $<TARGET_FILE:modem_pdu_tool>)
  set_tests_properties(modem_gammu_crosscheck PROPERTIES LABELS modem TIMEOUT 120 ENVIRONMENT TZ=UTC)
endif()

# End to end over the simulator: natively on its ptys (KELVORA_COM<n>), and
# under Wine with its ptys linked into the prefix as COM ports.
if(NOT WIN32 AND TARGET kelvora-modemsim)
  add_executable(modem_sim_e2e ${CMAKE_CURRENT_LIST_DIR}/sim_e2e.cpp ${PROJECT_SOURCE_DIR}/tests/tests_main.cpp)
  target_link_libraries(modem_sim_e2e PRIVATE kelvora_core kelvora_test_support GTest::gtest)
  target_include_directories(modem_sim_e2e PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests
                                                   ${CMAKE_CURRENT_LIST_DIR})
  add_test(NAME modem_sim_e2e COMMAND $<TARGET_FILE:kelvora-modemsim> --modems 2 -- $<TARGET_FILE:modem_sim_e2e>)
  set_tests_properties(modem_sim_e2e PROPERTIES LABELS "modem;e2e" TIMEOUT 120)
endif()
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(KELVORA_NATIVE_BUILD_DIR "${CMAKE_BINARY_DIR}/../native" CACHE PATH
      "native build of this tree, whose modem simulator the Wine end-to-end tests use")
  add_executable(modem_sim_e2e ${CMAKE_CURRENT_LIST_DIR}/sim_e2e.cpp ${PROJECT_SOURCE_DIR}/tests/tests_main.cpp)
  target_link_libraries(modem_sim_e2e PRIVATE kelvora_core kelvora_test_support GTest::gtest)
  target_include_directories(modem_sim_e2e PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests
                                                   ${CMAKE_CURRENT_LIST_DIR})
  # The simulator's two modems as COM21 and COM22.
  add_test(NAME modem_sim_e2e_wine
           COMMAND /bin/sh ${PROJECT_SOURCE_DIR}/tests/support/with_simulator_wine.sh
                   ${KELVORA_NATIVE_BUILD_DIR} 21 ${CMAKE_BINARY_DIR}/wine-run.sh $<TARGET_FILE:modem_sim_e2e>)
  set_tests_properties(modem_sim_e2e_wine PROPERTIES LABELS "modem;e2e;wine" TIMEOUT 180
                       ENVIRONMENT "WINEPREFIX=${KELVORA_WINEPREFIX}")
endif()
