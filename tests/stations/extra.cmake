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

# The tools are Python packages on tools/harness, with the facts the build
# generates beside them.
set(kelvora_tools_pythonpath "PYTHONPATH=${PROJECT_SOURCE_DIR}/tools:${CMAKE_BINARY_DIR}/python")

# A short fleet (a centre and three sites for a quarter of a minute on the
# simulator, through kelvora-host and the driver library), so that the fleet's
# harness cannot rot. ./run fleet runs it at full size.
if(NOT WIN32 AND TARGET kelvora-modemsim AND TARGET kelvora-host)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  kelvora_add_simulator_test(fleet_short
    COMMAND ${Python3_EXECUTABLE} -m fleet
            --simulator ${KELVORA_SIMULATOR} --host $<TARGET_FILE:kelvora-host>
            --sites 3 --minutes 0.25 --site-period 10 --write-every 6
            --workdir ${CMAKE_CURRENT_BINARY_DIR}/fleet-short
    LABELS stations e2e fleet TIMEOUT 240 ENVIRONMENT "${kelvora_tools_pythonpath}")
endif()

# The soak's ledger on small recorded histories, each with one fault written
# in that its check must catch.
if(NOT WIN32)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  add_test(NAME soak_ledger_test
           COMMAND ${Python3_EXECUTABLE} -m unittest -q soak.ledger_test)
  set_tests_properties(soak_ledger_test PROPERTIES LABELS "stations;soak" TIMEOUT 60
                       ENVIRONMENT "${kelvora_tools_pythonpath}")
endif()

# A soak of about a minute with a fixed seed: three sites under every kind of
# fault, checked by the soak's ledger (./run soak runs it as long as asked).
if(NOT WIN32 AND TARGET kelvora-modemsim AND TARGET kelvora-host)
  # The sanitizers' allocator keeps freed memory in quarantine: the hosts'
  # resident memory grows by design there, so only the plain build judges it.
  set(soak_memory_option "")
  if(KELVORA_SANITIZE)
    set(soak_memory_option --memory-unjudged)
  endif()
  kelvora_add_simulator_test(soak_short
    COMMAND ${Python3_EXECUTABLE} -m soak 1 --seed 20201208 --sites 3 --groups 4
            --faults-per-minute 20
            --simulator ${KELVORA_SIMULATOR} --host $<TARGET_FILE:kelvora-host>
            --workdir ${CMAKE_CURRENT_BINARY_DIR}/soak-short ${soak_memory_option}
    LABELS stations e2e soak TIMEOUT 600 ENVIRONMENT "${kelvora_tools_pythonpath}")
endif()

# The soak under Wine with Kelvora.dll, smaller: two sites of three groups for
# half a minute. The soak ends the Wine server it used; the harness starts a
# detached one again for the Wine tests that follow, as ./run test started it.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    kelvora_add_simulator_test(soak_short_wine
      COMMAND /bin/sh -c "\"$0\" \"$@\"; rc=$?; \"$0\" -m harness.wine server \"$WINEPREFIX\"; exit $rc"
              ${Python3_EXECUTABLE} -m soak 0.5 --seed 20201208 --sites 2
              --groups 3 --faults-per-minute 30 --win32
              --simulator ${KELVORA_SIMULATOR}
              --host $<TARGET_FILE:kelvora-host> --dll $<TARGET_FILE:Kelvora>
              --wine-run ${CMAKE_BINARY_DIR}/wine-run.sh --wine-prefix ${KELVORA_WINEPREFIX}
              --workdir ${CMAKE_CURRENT_BINARY_DIR}/soak-short-wine
      LABELS stations e2e soak wine TIMEOUT 600 ENVIRONMENT "${kelvora_tools_pythonpath}")
  endif()
endif()
