# Modem and station benchmarks: PDU throughput beside libgammu; the collection
# of a long listing from the simulated modem against the line time; what a
# host waits for and what polls leave behind, on the simulator.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GAMMU REQUIRED IMPORTED_TARGET gammu)
add_executable(kelvora_bench_modem_pdu ${CMAKE_CURRENT_LIST_DIR}/modem_pdu_bench.cpp)
target_link_libraries(kelvora_bench_modem_pdu PRIVATE kelvora_core PkgConfig::GAMMU)
if(TARGET kelvora_modemsim)
  add_executable(kelvora_bench_modem_listing ${CMAKE_CURRENT_LIST_DIR}/modem_listing_bench.cpp)
  target_link_libraries(kelvora_bench_modem_listing PRIVATE kelvora_core kelvora_modemsim)
endif()
if(TARGET kelvora_modemsim)
  add_executable(kelvora_bench_stations ${CMAKE_CURRENT_LIST_DIR}/stations_bench.cpp
                 ${PROJECT_SOURCE_DIR}/tests/stations/road.cpp)
  target_link_libraries(kelvora_bench_stations PRIVATE kelvora_core kelvora_modemsim)
  target_include_directories(kelvora_bench_stations PRIVATE ${PROJECT_SOURCE_DIR}/tests/stations
                                                            ${PROJECT_SOURCE_DIR}/tests)
endif()
