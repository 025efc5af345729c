# The station tests' own helpers (a fake modem behind the scripted port, PDUs
# built independently of the driver's codecs), and the end-to-end road of one
# write and one report over the modem simulator: natively in-process, and in
# the Win32 build under Wine with the native simulator behind COM1 and COM2.
if(TARGET stations_tests)
  target_sources(stations_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/deliver_pdu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fake_modem.cpp)
  target_include_directories(stations_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  # Byte-exact dialogues of a station's poll (tests/stations/transcripts),
  # played as the modem tests play theirs.
  file(GLOB station_transcripts CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/transcripts/*.txt)
  set(stations_generated ${CMAKE_CURRENT_BINARY_DIR}/stations_generated)
  add_custom_command(
    OUTPUT ${stations_generated}/station_transcripts.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stations_generated}
    COMMAND ${CMAKE_COMMAND} -DDIR=${CMAKE_CURRENT_LIST_DIR}/transcripts
            -DOUTPUT=${stations_generated}/station_transcripts.h
            -P ${PROJECT_SOURCE_DIR}/tests/modem/embed_transcripts.cmake
    DEPENDS ${station_transcripts} ${PROJECT_SOURCE_DIR}/tests/modem/embed_transcripts.cmake
    COMMENT "Embedding the station transcripts"
    VERBATIM)
  add_custom_target(station_transcripts DEPENDS ${stations_generated}/station_transcripts.h)
  add_dependencies(stations_tests station_transcripts)
  target_include_directories(stations_tests PRIVATE ${stations_generated} ${PROJECT_SOURCE_DIR}/tests/modem)
endif()

if(NOT WIN32 AND TARGET kelvora_modemsim)
  kelvora_add_test(stations_road_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/road_e2e.cpp ${CMAKE_CURRENT_LIST_DIR}/road.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/tests_main.cpp
    LIBS kelvora_core kelvora_modemsim
    LABELS stations e2e)
endif()

# Scenarios that steer the simulator through its TCP control port: one source
# for both builds, each run under kelvora-modemsim with modem 0 as COM1.
set(station_sim_scenarios answers keys mailbox order line)
foreach(scenario ${station_sim_scenarios})
  set(exe stations_${scenario}_e2e)
  add_executable(${exe} ${CMAKE_CURRENT_LIST_DIR}/${scenario}_e2e.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests_main.cpp)
  target_link_libraries(${exe} PRIVATE kelvora_core kelvora_test_support kelvora_sim_control GTest::gtest)
  target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests
                                            ${CMAKE_CURRENT_LIST_DIR})
  if(NOT WIN32 AND TARGET kelvora-modemsim)
    kelvora_add_simulator_test(${exe} TARGET ${exe} CONTROL LABELS stations e2e)
  elseif(WIN32 AND CMAKE_CROSSCOMPILING)
    kelvora_add_simulator_test(${exe}_wine TARGET ${exe} COM_BASE 1 LABELS stations e2e wine)
  endif()
endforeach()

if(WIN32 AND CMAKE_CROSSCOMPILING)
  add_executable(stations_road_wine ${CMAKE_CURRENT_LIST_DIR}/road_wine.cpp ${CMAKE_CURRENT_LIST_DIR}/road.cpp
                 ${CMAKE_CURRENT_SOURCE_DIR}/tests_main.cpp)
  target_link_libraries(stations_road_wine PRIVATE kelvora_core kelvora_test_support GTest::gtest)
  target_include_directories(stations_road_wine PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  kelvora_add_simulator_test(stations_road_wine TARGET stations_road_wine COM_BASE 1 LABELS stations e2e wine
                             TIMEOUT 180)
endif()
