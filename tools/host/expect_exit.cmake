# Runs kelvora-host with arguments and checks its exit code and output.
#   -DPROGRAM=<exe> [-DEMULATOR=<wrapper>] -DARGS=<a|b|c> -DEXPECT_CODE=<n>
#   [-DEXPECT_OUTPUT=<regex>] [-DREJECT_OUTPUT=<regex>]
string(REPLACE "|" ";" arguments "${ARGS}")
set(command ${PROGRAM} ${arguments})
if(EMULATOR)
  set(command ${EMULATOR} ${command})
endif()
execute_process(COMMAND ${command}
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
set(all "${out}${err}")
message("exit code ${code}\n--- output:\n${all}")
if(NOT code STREQUAL "${EXPECT_CODE}")
  message(FATAL_ERROR "expected exit code ${EXPECT_CODE}, got ${code}")
endif()
if(DEFINED EXPECT_OUTPUT AND NOT all MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "output does not match: ${EXPECT_OUTPUT}")
endif()
if(DEFINED REJECT_OUTPUT AND all MATCHES "${REJECT_OUTPUT}")
  message(FATAL_ERROR "output must not match: ${REJECT_OUTPUT}")
endif()
