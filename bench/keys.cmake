# What authenticated frames cost: signing and checking a frame, writing its
# counter down, and the extra bytes on the serial line per message.
add_executable(kelvora_bench_keys ${CMAKE_CURRENT_LIST_DIR}/keys_bench.cpp)
target_link_libraries(kelvora_bench_keys PRIVATE kelvora_core)
