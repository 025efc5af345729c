# Tests of the host's command line: usage, clear errors and exit codes. Those
# that need a station run when this build makes the driver library.
function(kelvora_host_test name code args)
  cmake_parse_arguments(ARG "" "EXPECT;REJECT;PROGRAM" "" ${ARGN})
  if(NOT ARG_PROGRAM)
    set(ARG_PROGRAM $<TARGET_FILE:kelvora-host>)
  endif()
  set(defs -DPROGRAM=${ARG_PROGRAM} "-DARGS=${args}" -DEXPECT_CODE=${code})
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    list(APPEND defs -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
  if(DEFINED ARG_EXPECT)
    list(APPEND defs "-DEXPECT_OUTPUT=${ARG_EXPECT}")
  endif()
  if(DEFINED ARG_REJECT)
    list(APPEND defs "-DREJECT_OUTPUT=${ARG_REJECT}")
  endif()
  add_test(NAME host_cli.${name} COMMAND ${CMAKE_COMMAND} ${defs} -P ${CMAKE_CURRENT_SOURCE_DIR}/expect_exit.cmake)
  set_tests_properties(host_cli.${name} PROPERTIES LABELS host TIMEOUT 150)
endfunction()

# Usage and command-line errors: exit 0 for help, 2 for every usage error.
kelvora_host_test(help 0 "--help" EXPECT "central.*remote.*probe")
kelvora_host_test(central_help 0 "central|--help" EXPECT "Exit codes:.*4 port cannot be opened")
kelvora_host_test(no_command 2 "" EXPECT "kelvora-host --help")
kelvora_host_test(unknown_option 2 "central|--bogus|types" EXPECT "bogus")
kelvora_host_test(port_name 2 "central|--port|COMX|read|M5.120" EXPECT "--port: 'COMX'")
kelvora_host_test(port_number_range 2 "central|--port|COM65|read|M5.120" EXPECT "COM1 to COM64")
kelvora_host_test(baud 2 "central|--port|COM1|--baud|12345|read|M5.120" EXPECT "12345 is not a rate the driver knows")
kelvora_host_test(parity 2 "probe|--port|COM1|--parity|maybe" EXPECT "--parity: 'maybe'")
kelvora_host_test(port_missing 2 "central|read|M5.120" EXPECT "--port is needed")
kelvora_host_test(no_operations 2 "central|--port|COM1" EXPECT "no operations")
kelvora_host_test(unknown_operation 2 "central|--port|COM1|raed|M5.120" EXPECT "'raed' is not an operation")
kelvora_host_test(unknown_data_type 2 "central|--port|COM1|read|M5.120:double" EXPECT "unknown data type 'double'")
kelvora_host_test(write_without_value 2 "central|--port|COM1|write|M5.120" EXPECT "expected ADDRESS=VALUE")
kelvora_host_test(remote_needs_device 2 "remote|types" EXPECT "--device")
kelvora_host_test(missing_library 3 "central|--library|${CMAKE_CURRENT_BINARY_DIR}/no-such-library|types"
                  EXPECT "no-such-library")

if(KELVORA_HOST_DRIVER_TARGET)
  # Through a real station: addresses are the driver's to accept.
  kelvora_host_test(types_central 0 "central|types" EXPECT "M .*SEND_MSG.*SMSC.*DETC" REJECT "COMFLAG")
  kelvora_host_test(types_remote 0 "remote|--device|5|types" EXPECT "COMFLAG.*data types bit")
  kelvora_host_test(check_address 0 "central|check|M5.120|M3.250.7:bit|DETC31:text"
                    EXPECT "M5.120: type index 0, fields 5 120 0 0, data type int.*fields 3 250 7.*type index 3, fields 31")
  kelvora_host_test(wrong_address 1 "central|check|M32.0"
                    EXPECT "'M32.0' is not a register address of the central station.*register not supported.*site 0-31")
  kelvora_host_test(wrong_data_type 1 "remote|--device|5|check|COMFLAG:text" EXPECT "COMFLAG takes data types bit")
  kelvora_host_test(wrong_address_before_port 1 "central|--port|COM64|write|M5.120=1|read|M5.2000"
                    EXPECT "M5.2000" REJECT "cannot open")
  kelvora_host_test(wrong_device 1 "remote|--device|32|types" EXPECT "not a device address.*wrong device address")
  kelvora_host_test(wrong_value 1 "central|--port|COM64|write|M5.120:word=70000" EXPECT "not a word")
  if(WIN32)
    kelvora_host_test(wrong_port 4 "central|--port|COM63|read|M5.120" EXPECT "cannot open the port COM63")
  else()
    kelvora_host_test(wrong_port 4 "central|--port|/nonexistent/ttyKV0|read|M5.120"
                      EXPECT "cannot open the port /nonexistent/ttyKV0.*device initialisation failed")
  endif()
endif()
if(WIN32)
  kelvora_host_test(probe_wrong_port 4 "probe|--port|COM63" EXPECT "cannot open COM63")
else()
  kelvora_host_test(probe_wrong_port 4 "probe|--port|/nonexistent/ttyKV0" EXPECT "cannot open /nonexistent/ttyKV0")
endif()

# On a simulated modem (native): probe sees a modem fit for the driver, and a
# session keeps the station's image from a write to the read after it.
if(TARGET kelvora-modemsim AND KELVORA_HOST_DRIVER_TARGET)
  set(host $<TARGET_FILE:kelvora-host>)
  kelvora_host_test(probe_simulated_modem 0 "-n|1|--|sh|-c|${host} probe --port $KELVORA_MODEM0_DEVICE"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "answers AT.*PDU mode.*0 of 30 used.*result: ready for Kelvora")
  kelvora_host_test(session_simulated_modem 0
                    "-n|2|--|sh|-c|${host} central --port $KELVORA_MODEM0_DEVICE write DETC5=$KELVORA_MODEM1_NUMBER M5.120:float=1.5 read DETC5 M5.120:float M5.121"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "DETC5 <- \"\\+86139.*M5.120:float <- 1.5.*DETC5 = \"\\+86139.*M5.120:float = 1.5.*M5.121 = 0")
endif()
if(TARGET kelvora-modemsim)
  set(sim $<TARGET_FILE:kelvora-modemsim>)
  # A modem that stays silent: probe says so and exits 5, within its bounds.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/probe-silent.sock)
  kelvora_host_test(probe_silent_modem 5
                    "-n|1|--control|${control}|--|sh|-c|${sim} --control ${control} --request '{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"silence\",\"times\":-1}' >/dev/null && $<TARGET_FILE:kelvora-host> probe --answer-timeout 500 --port $KELVORA_MODEM0_DEVICE"
                    PROGRAM ${sim} EXPECT "FAIL +no answer to AT.*result: NOT READY")
  # Messages already stored: probe warns that the driver will delete them.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/probe-stored.sock)
  kelvora_host_test(probe_stored_messages 0
                    "-n|1|--control|${control}|--|sh|-c|${sim} --control ${control} --request '{\"cmd\":\"inject\",\"modem\":0,\"text\":\"hello\",\"sender\":\"+8613700000000\",\"coding\":\"gsm7\"}' >/dev/null && $<TARGET_FILE:kelvora-host> probe --port $KELVORA_MODEM0_DEVICE"
                    PROGRAM ${sim} EXPECT "warn +message storage \"SM\": 1 of 30 used: the driver reads and then DELETES")
endif()
