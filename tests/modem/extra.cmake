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
  kelvora_add_simulator_test(modem_sim_e2e TARGET modem_sim_e2e LABELS modem e2e TIMEOUT 120)
endif()
if(WIN32 AND CMAKE_CROSSCOMPILING)
  add_executable(modem_sim_e2e ${CMAKE_CURRENT_LIST_DIR}/sim_e2e.cpp ${PROJECT_SOURCE_DIR}/tests/tests_main.cpp)
  target_link_libraries(modem_sim_e2e PRIVATE kelvora_core kelvora_test_support GTest::gtest)
  target_include_directories(modem_sim_e2e PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests
                                                   ${CMAKE_CURRENT_LIST_DIR})
  # The simulator's two modems as COM21 and COM22.
  kelvora_add_simulator_test(modem_sim_e2e_wine TARGET modem_sim_e2e COM_BASE 21 LABELS modem e2e wine TIMEOUT 180)
endif()
