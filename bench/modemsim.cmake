# Pacing of the modem simulator: achieved bytes per second of a listing
# against the nominal line rate.
if(TARGET kelvora_modemsim)
  add_executable(kelvora_bench_modemsim_pacing ${CMAKE_CURRENT_LIST_DIR}/modemsim_pacing_bench.cpp)
  target_link_libraries(kelvora_bench_modemsim_pacing PRIVATE kelvora_modemsim)
endif()
