# Tests that need the modem simulator, registered in one place for both builds.
#
#   kelvora_add_simulator_test(<name> TARGET <test program> [ARGS <args...>]
#       [MODEMS <n>] [CONTROL] [COM_BASE <n>] [LABELS ...] [TIMEOUT <s>] [ENVIRONMENT ...])
# runs the test program inside the simulator: natively with the simulator's
# <n> modems (default 2) on pseudo-terminals, and its TCP control port with
# CONTROL; in the Win32 build under Wine, with the simulator's two modems
# linked into the build's prefix as COM<base> and COM<base+1> (and the control
# port always).
#
#   kelvora_add_simulator_test(<name> COMMAND <program> [<args...>]
#       [LABELS ...] [TIMEOUT <s>] [ENVIRONMENT ...] [WORKING_DIRECTORY <dir>])
# runs a program that starts the simulator itself, named to it by
# ${KELVORA_SIMULATOR}.
#
# The simulator is a native program. The Win32 build takes it from the cache
# variable KELVORA_NATIVE_SIMULATOR (the win32 preset names the native
# preset's); without it the Win32 build's simulator tests fail, saying so.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(KELVORA_NATIVE_SIMULATOR "" CACHE FILEPATH
      "the native modem simulator (kelvora-modemsim) that the Wine end-to-end tests run on")
  set(KELVORA_SIMULATOR "${KELVORA_NATIVE_SIMULATOR}")
  if(KELVORA_TESTS AND NOT KELVORA_NATIVE_SIMULATOR)
    message(WARNING "KELVORA_NATIVE_SIMULATOR is not set: the Wine end-to-end tests will fail "
                    "(configure with the win32 preset, or name a native build's kelvora-modemsim)")
  endif()
else()
  set(KELVORA_SIMULATOR "$<TARGET_FILE:kelvora-modemsim>")
endif()

function(kelvora_add_simulator_test name)
  # PARSE_ARGV keeps a semicolon inside an argument (a shell command's).
  cmake_parse_arguments(PARSE_ARGV 1 ARG "CONTROL" "TARGET;MODEMS;COM_BASE;TIMEOUT;WORKING_DIRECTORY"
                        "ARGS;COMMAND;LABELS;ENVIRONMENT")
  if(ARG_TARGET AND ARG_COMMAND)
    message(FATAL_ERROR "kelvora_add_simulator_test(${name}): TARGET or COMMAND, not both")
  endif()
  if(NOT ARG_MODEMS)
    set(ARG_MODEMS 2)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(wine FALSE)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    set(wine TRUE)
  endif()

  if(ARG_COMMAND)
    set(command "${ARG_COMMAND}")
  elseif(NOT ARG_TARGET)
    message(FATAL_ERROR "kelvora_add_simulator_test(${name}): TARGET or COMMAND needed")
  elseif(wine)
    if(NOT DEFINED ARG_COM_BASE)
      message(FATAL_ERROR "kelvora_add_simulator_test(${name}): COM_BASE needed under Wine")
    endif()
    set(command /bin/sh ${PROJECT_SOURCE_DIR}/tests/support/with_simulator_wine.sh ${KELVORA_SIMULATOR}
                ${ARG_COM_BASE} ${CMAKE_BINARY_DIR}/wine-run.sh $<TARGET_FILE:${ARG_TARGET}>)
  else()
    set(control)
    if(ARG_CONTROL)
      set(control --control-tcp)
    endif()
    set(command ${KELVORA_SIMULATOR} --modems ${ARG_MODEMS} ${control} -- $<TARGET_FILE:${ARG_TARGET}>)
  endif()
  if(ARG_TARGET AND ARG_ARGS)
    string(APPEND command ";${ARG_ARGS}")
  endif()

  if(wine AND NOT KELVORA_SIMULATOR)
    # Registered all the same, so that a missing simulator is a failure seen.
    set(command /bin/sh -c "echo '${name}: no native modem simulator, configure with -DKELVORA_NATIVE_SIMULATOR=...' >&2 && false")
  endif()
  set(directory)
  if(ARG_WORKING_DIRECTORY)
    set(directory WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
  endif()
  add_test(NAME ${name} COMMAND ${command} ${directory})

  set(environment ${ARG_ENVIRONMENT})
  if(wine)
    list(APPEND environment "WINEPREFIX=${KELVORA_WINEPREFIX}")
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT})
  if(environment)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}")
  endif()
  if(wine AND KELVORA_SIMULATOR)
    set_tests_properties(${name} PROPERTIES REQUIRED_FILES "${KELVORA_SIMULATOR}")
  endif()
endfunction()
