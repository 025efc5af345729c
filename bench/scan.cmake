# A host's scan of many groups at the centre, by poll scope.
if(TARGET kelvora_modemsim)
  add_executable(kelvora_bench_scan ${CMAKE_CURRENT_LIST_DIR}/scan_bench.cpp)
  target_link_libraries(kelvora_bench_scan PRIVATE kelvora_core kelvora_modemsim)
  target_include_directories(kelvora_bench_scan PRIVATE ${PROJECT_SOURCE_DIR}/tests/stations ${PROJECT_SOURCE_DIR}/tests)
endif()
