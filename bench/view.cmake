# The hidden cost of the centre's view: reads with HoldWrites and StaleAfter
# on against reads without, side by side, over the station tests' fake modem.
add_executable(kelvora_bench_view ${CMAKE_CURRENT_LIST_DIR}/view_bench.cpp
               ${PROJECT_SOURCE_DIR}/tests/stations/fake_modem.cpp ${PROJECT_SOURCE_DIR}/tests/stations/deliver_pdu.cpp
               ${PROJECT_SOURCE_DIR}/tests/support/scripted_port.cpp)
target_link_libraries(kelvora_bench_view PRIVATE kelvora_core)
target_include_directories(kelvora_bench_view PRIVATE ${PROJECT_SOURCE_DIR}/tests/stations ${PROJECT_SOURCE_DIR}/tests)
