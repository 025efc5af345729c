# The Python tools' CTest entries, each tool's beside it (tools/demo, fleet,
# soak), included from their CMakeLists.txt:
#   kelvora_add_tool_test(<name> MODULE <module> [ARGS <args...>] [WINE]
#       [LABELS ...] [TIMEOUT <s>])
# runs `python3 -m <module> --simulator <the simulator> <args...>` as a test
# that needs the simulator, with tools/ and the facts the build generates
# (python/kelvora_facts.py) on PYTHONPATH. WINE: the tool ends the Wine
# server it used, and the harness starts a detached one again for the Wine
# tests that follow, as ./run test started it.
# Included by each tool's CMakeLists.txt: find_package sets the interpreter in
# the including folder.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(KELVORA_TOOLS_PYTHONPATH "PYTHONPATH=${PROJECT_SOURCE_DIR}/tools:${CMAKE_BINARY_DIR}/python")

function(kelvora_add_tool_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "WINE" "MODULE;TIMEOUT" "ARGS;LABELS")
  set(command ${Python3_EXECUTABLE} -m ${ARG_MODULE} --simulator ${KELVORA_SIMULATOR} ${ARG_ARGS})
  if(ARG_WINE)
    # No ";" in the line: it would split the command's list.
    set(command /bin/sh -c "trap '\"$0\" -m harness.wine server \"$WINEPREFIX\"' EXIT && \"$0\" \"$@\""
                ${command})
  endif()
  kelvora_add_simulator_test(${name} COMMAND ${command} LABELS ${ARG_LABELS} TIMEOUT ${ARG_TIMEOUT}
                             ENVIRONMENT "${KELVORA_TOOLS_PYTHONPATH}")
endfunction()
