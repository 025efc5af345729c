# A line that comes back: from a modem plugged in again to the first good
# exchange, against one reopen spacing and one exchange.
if(TARGET kelvora_modemsim)
  add_executable(kelvora_bench_line ${CMAKE_CURRENT_LIST_DIR}/line_bench.cpp)
  target_link_libraries(kelvora_bench_line PRIVATE kelvora_core kelvora_modemsim)
  target_include_directories(kelvora_bench_line PRIVATE ${PROJECT_SOURCE_DIR}/tests/stations ${PROJECT_SOURCE_DIR}/tests)
endif()
