# Modem benchmarks: PDU throughput beside libgammu; the collection of a long
# listing from the simulated modem against the line time.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GAMMU REQUIRED IMPORTED_TARGET gammu)
add_executable(kelvora_bench_modem_pdu ${CMAKE_CURRENT_LIST_DIR}/modem_pdu_bench.cpp)
target_link_libraries(kelvora_bench_modem_pdu PRIVATE kelvora_core PkgConfig::GAMMU)
if(TARGET kelvora_modemsim)
  add_executable(kelvora_bench_modem_listing ${CMAKE_CURRENT_LIST_DIR}/modem_listing_bench.cpp)
  target_link_libraries(kelvora_bench_modem_listing PRIVATE kelvora_core kelvora_modemsim)
endif()
