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

# The sessions a person or a program has with the host, and the recipe, are
# played by Python scripts.
find_program(KELVORA_PYTHON3 python3)

# Usage and command-line errors: exit 0 for help, 2 for every usage error.
kelvora_host_test(help 0 "--help" EXPECT "central.*remote.*probe")
kelvora_host_test(version 0 "--version" EXPECT "^kelvora-host ${PROJECT_VERSION}[^0-9.]*$")
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
  kelvora_host_test(status_at_a_site 2 "remote|--device|5|status" EXPECT "status shows the centre's view.*central station")
  kelvora_host_test(wrong_value 1 "central|--port|COM64|write|M5.120:word=70000" EXPECT "not a word")
  # What the driver would refuse to send, or no site apply, is told before anything runs.
  string(REPEAT "x" 75 long_text)
  kelvora_host_test(refused_before_sending 1
                    "central|--port|COM64|write|DETC5=1390000000|DETC6=139 0000 0001|SEND_MSG5=${long_text}|SEND_MSG6=BEGINWM0512000000009END|M5.1000=1"
                    EXPECT "'1390000000' has 10 characters: the driver sends only to numbers of 11 or more.*'139 0000 0001' is not a number the driver can send to.*the text has 75 characters. one message carries 69, fewer when some are Chinese \\(65 Chinese ones\\): the first 69 of this text fit.*SEND_MSG6: the text reads as a telemetry frame \\(a write command or a report\\), which a station would apply.*no site applies a write to address 1000.*--force"
                    REJECT "cannot open")
  kelvora_host_test(trace_unopenable 2 "central|--trace|${CMAKE_CURRENT_BINARY_DIR}/no-such-folder/x.trace|types"
                    EXPECT "--trace: cannot open .*no-such-folder/x.trace" REJECT "register types")
  # Addresses as typed: the driver ignores what follows the last field, the
  # console does not let it through; every error is told, before the port opens.
  kelvora_host_test(address_as_typed 1
                    "central|--port|COM64|check|M5.12O|M5.120.3|M05.0120|M5x.7|write|M5.120.4:bit=3|M5.120.4:bit=1"
                    EXPECT "reads M5.12 and ignores \"O\" at the end.*reads M5.120 and ignores \".3\".*reads M5.7 and ignores \"x\" after \"M5\".*'3' is not a bit"
                    REJECT "M05.0120|bit=1|cannot open")
  kelvora_host_test(address_as_typed_remote 1 "remote|--device|5|check|M120|M5.120"
                    EXPECT "'M5.120' is not read as typed: the driver reads M5 and ignores \".120\"")
  # A script is checked whole: nothing of it runs when a line is wrong, and
  # every error names its file and line.
  set(script ${CMAKE_CURRENT_BINARY_DIR}/checked-whole.txt)
  file(WRITE ${script} "write M5.120=1\necho first line ran\nwrite M5.12O=1  # a letter O\nraed M5.120\n")
  kelvora_host_test(script_checked_whole 2 "central|--port|COM64|--script|${script}"
                    EXPECT "checked-whole.txt:4: 'raed' is not an operation.*checked-whole.txt:3: 'M5.12O' is not read as typed"
                    REJECT "first line ran|cannot open")
  # A script that is not a readable file is an error, not an empty run.
  kelvora_host_test(script_folder 2 "central|--port|COM64|--script|${CMAKE_CURRENT_SOURCE_DIR}/tests"
                    EXPECT "--script: .*tests is a folder, not a file of operations" REJECT "cannot open")
  kelvora_host_test(verbose_before 0 "-v|central|types" EXPECT "central station from")
  kelvora_host_test(verbose_after 0 "remote|--device|5|types|-v" EXPECT "remote station from")
  kelvora_host_test(timestamps_with_date 0 "central|-T|echo|mark"
                    EXPECT "20[0-9][0-9]-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9][0-9][0-9]  mark")
  if(WIN32)
    kelvora_host_test(wrong_port 4 "central|--port|COM63|read|M5.120" EXPECT "cannot open the port COM63")
  else()
    kelvora_host_test(wrong_port 4 "central|--port|/nonexistent/ttyKV0|read|M5.120"
                      EXPECT "cannot open the port /nonexistent/ttyKV0.*port cannot be opened or set up")
  endif()
endif()
# The console's private trace: cleaned at start when an ended run left it,
# gone after SIGHUP (exit 129); standard output on a full disk.
if(KELVORA_HOST_DRIVER_TARGET AND NOT WIN32)
  kelvora_host_test(private_trace 129 "${CMAKE_CURRENT_SOURCE_DIR}/tests/private_trace.sh|$<TARGET_FILE:kelvora-host>"
                    PROGRAM sh EXPECT "in a folder of mode 700, stale one removed, running one kept, gone after SIGHUP")
  # Output that cannot be written (a full disk) is not a success.
  kelvora_host_test(output_lost 1 "-c|$<TARGET_FILE:kelvora-host> central types >/dev/full"
                    PROGRAM sh EXPECT "standard output could not be written")
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
  kelvora_host_test(probe_simulated_modem 0
                    "-n|2|--|sh|-c|${host} probe --port $KELVORA_MODEM0_DEVICE --send-test $KELVORA_MODEM1_NUMBER"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "answers AT.*modem: Kelvora ModemSim.*SIM's own number: \\+8613900000001.*PDU mode.*0 of 30 used.*registered.*test message to \\+8613900000002 accepted.*result: ready for Kelvora")
  kelvora_host_test(session_simulated_modem 0
                    "-n|2|--|sh|-c|${host} central --port $KELVORA_MODEM0_DEVICE write DETC5=$KELVORA_MODEM1_NUMBER M5.120:float=1.5 read DETC5 M5.120:float M5.121"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "DETC5 <- \"\\+86139.*M5.120:float <- 1.5.*DETC5 = \"\\+86139.*M5.120:float = 1.5.*M5.121 = 0")
  # Where messages go once a number is written, as the driver sends them.
  kelvora_host_test(numbers_as_sent 0
                    "-n|1|--|sh|-c|${host} central --port $KELVORA_MODEM0_DEVICE write DETC5=+447700900123 DETC6=13900000002 SMSC5=0085291234567"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "DETC5 <- \"\\+447700900123\"  \\(messages to site 5 go to \\+447700900123\\).*DETC6 <- \"13900000002\"  \\(messages to site 6 go to \\+8613900000002\\).*SMSC5 <- \"0085291234567\"  \\(messages to site 5 go through the service centre \\+85291234567\\)")
  kelvora_host_test(values_as_json 0
                    "-n|1|--|sh|-c|${host} central --port $KELVORA_MODEM0_DEVICE --format json read M5.120 DETC5 2>/dev/null"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "{\"time\":\"20[0-9-]+ [0-9:.]+\",\"address\":\"M5.120\",\"type\":\"int\",\"value\":0,\"source\":\"reading\"}\n{[^\n]*\"address\":\"DETC5\",\"type\":\"text\",\"value\":\"\",\"source\":\"reading\"}\nmodem 0")
  kelvora_host_test(values_as_csv 0
                    "-n|1|--|sh|-c|${host} central --port $KELVORA_MODEM0_DEVICE --format csv -n 2 -i 10 watch M5.120 M5.121:word 2>/dev/null"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "time,address,type,value,source\n(20[0-9-]+ [0-9:.]+,M5.120,int,0,reading\n20[0-9-]+ [0-9:.]+,M5.121,word,0,reading\n)(20[0-9-]+ [0-9:.]+,M5.120,int,0,reading\n20[0-9-]+ [0-9:.]+,M5.121,word,0,reading\n)modem 0")
  # With --keep-going a failed operation is passed by (stdout comes first here).
  kelvora_host_test(keep_going 5
                    "-n|1|--|sh|-c|${host} central --port $KELVORA_MODEM0_DEVICE --keep-going --await-timeout 100 await M5.120=7 echo went on"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim> EXPECT "went on.*M5.120 did not become 7")
  # Ctrl-C during the first of five writes: one message out, four not.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/interrupt.sock)
  kelvora_host_test(interrupt_batch 130
                    "-n|2|--control|${control}|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/interrupt_batch.sh|${host}|$<TARGET_FILE:kelvora-modemsim>"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "M5.120 <- 1  sent.*stopped by Ctrl-C: 2 of 6 operation.*not done:.*write M5.121=2.*write M5.124=5.*\"submitted\": 1,")
  # A write that sends a message says whether it went, and why not, in the driver's words.
  kelvora_host_test(write_outcomes 0
                    "-n|2|--control|${CMAKE_CURRENT_BINARY_DIR}/write-outcomes.sock|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/write_outcomes.sh|${host}|$<TARGET_FILE:kelvora-modemsim>"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "M5.120 <- 1  NOT sent: DETC5 is empty.*M5.121 <- 2  NOT sent: refused by the modem or the network: error 500 \\(unknown error\\).*M5.122 <- 3  sent.*SEND_MSG5 <- \"ratio 1:256\"  sent.*M5.124.3:bit <- 1  NOT sent: the driver refused it: the value of M5.124 is not known yet.*exit 1.*SEND_MSG <- \"hello\"  NOT confirmed: the modem did not answer within 1000 ms.*exit 1.*M5.123 <- 4  NOT sent: the serial port failed.*exit 1.*trace is not followed \\(--trace=debug\\).*M5.120 <- 5  NOT confirmed: the driver reports .*: it may have gone out.*M5.121,int,0,unknown\nexit 1.*M120: the report of its group NOT sent: the driver refused it: the destination has fewer than 11 characters\nM120 = 0 [^\n]*\nexit 0")
  # Keys as a new user meets them: keygen, a key others may read refused, a
  # keyed write delivered, the spoofer's unsigned command refused and told.
  kelvora_host_test(keys 0
                    "-n|2|--control|${CMAKE_CURRENT_BINARY_DIR}/keys.sock|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/keys.sh|${host}|$<TARGET_FILE:kelvora-modemsim>"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "mode 600.*cannot write site5.key: it exists already.*exit 1.*--key-file 5=open.key: others than its owner may reach it.*exit 2.*M5.120 <- 42  sent.*M120 = 42.*NOT authenticated.*refused by the key check: write command M120 = 2457: unauthenticated.*M120 = 0")
  # The centre's view of its sites: reports applied and refused (by sender,
  # sent before, copies), writes held, silent or not; text, CSV and JSON. A
  # silent site's read fails: the station's copy shown, exit 5.
  kelvora_host_test(status_of_the_sites 0
                    "-n|2|--control|${CMAKE_CURRENT_BINARY_DIR}/status.sock|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/status.sh|${host}|$<TARGET_FILE:kelvora-modemsim>"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "applied  refused: sender  before  copies  held  silent\n +5  2023-11-06 12:34:50 \\+00:00 +[0-9.]+ s +[0-9.]+ s +1 +1 +1 +1 +1  -\n +7  2023-11-06 12:34:50 \\+00:00 +[0-9.]+ s +[0-9.]+ s +1 +0 +0 +0 +0  -\nsite 5 holds M5.121 = 3 \\([0-9.]+ s\\)\n.*exit 0\n.*M5.120,int,7,reading\n.*read failed: site 5 silent: no report of it applied for [0-9]+ s \\(stale after 1 s\\)\\; value from the station's copy.*M5.120,int,7,copy\n.*site,last_report_sent,ago_network_s,ago_here_s,applied,refused_sender,refused_sent_before,refused_copies,held_writes,silent,silent_why\n5,2023-11-06 12:34:50 \\+00:00,[0-9.]+,[0-9.]+,1,1,0,0,,yes,no report for [0-9]+ s\n7,[^\n]*,1,0,0,0,,yes,[^\n]*\n.*exit 5\n.*{\"site\":5,\"last_report_sent\":\"2023-11-06 12:34:50 \\+00:00\",\"ago_network_s\":[0-9.]+,\"ago_here_s\":[0-9.]+,\"applied\":1,\"refused_sender\":0,\"refused_sent_before\":0,\"refused_copies\":0,\"held_writes\":\\[{\"address\":\"M5.121\",\"value\":3,\"held_s\":[0-9.]+}\\],\"silent\":null,\"silent_why\":\"\"}\n{\"site\":7,[^\n]*\"held_writes\":\\[\\][^\n]*\nexit 0")
  # Reasons from the station's own lines only: a trace file another process
  # writes to as well, and the file's rollover during a write.
  kelvora_host_test(trace_of_its_own 0
                    "-n|1|--control|${CMAKE_CURRENT_BINARY_DIR}/own-trace.sock|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/trace_of_its_own.sh|${host}|$<TARGET_FILE:kelvora-modemsim>"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "M5.120 = 0  \\([0-9.]+ s\\)\nshared trace: exit 0.*M5.120 <- 1  NOT sent: refused by the modem or the network: error 500 \\(unknown error\\).*rollover: exit 1\nrollover: between the send and its status")
  # A read whose poll the modem did not answer shows the station's copy and
  # fails the run; so does clearing a modem that says nothing.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/silent-read.sock)
  kelvora_host_test(read_silent_modem 5
                    "-n|1|--control|${control}|--|sh|-c|$<TARGET_FILE:kelvora-modemsim> --control ${control} --request '{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"silence\",\"times\":-1}' >/dev/null && ${host} central --timeout 300 --port $KELVORA_MODEM0_DEVICE read M5.120"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "M5.120 = 0 .*the modem did not answer the poll. value from the station's copy.*did not answer a poll")
  # A poll whose listing the modem refuses (no SIM) is told like an
  # unanswered one, with a report waiting: in text, and in JSON records that
  # say the value is the station's copy; in a watch, the reads that do not
  # poll between two refused polls are the copy too.
  set(copy_told "the modem refused a poll \\(error 310 \\(SIM not inserted\\)\\): values shown with a note are the station's copy")
  foreach(run text csv)
    set(sim_request "$<TARGET_FILE:kelvora-modemsim> --control ${CMAKE_CURRENT_BINARY_DIR}/refused-${run}.sock --request")
    set(refused_${run} "-n|1|--control|${CMAKE_CURRENT_BINARY_DIR}/refused-${run}.sock|--|sh|-c|${sim_request} '{\"cmd\":\"inject\",\"modem\":0,\"text\":\"BEGINRM0512000000001000000020000000300000004FFFFFFFFEND\",\"sender\":\"+8613900000002\",\"coding\":\"gsm7\"}' >/dev/null && ${sim_request} '{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"cms_error\",\"command\":\"AT+CMGL\",\"cms_error\":310,\"times\":-1}' >/dev/null && ${host} central --port $KELVORA_MODEM0_DEVICE")
  endforeach()
  kelvora_host_test(read_refused_listing 5 "${refused_text} read M5.120" PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "M5.120 = 0 .*\\(the modem refused the poll: error 310 \\(SIM not inserted\\). value from the station's copy\\).*${copy_told}")
  kelvora_host_test(read_refused_listing_csv 5 "${refused_csv} --format csv -n 3 -i 1000 watch M5.120"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "time,address,type,value,source\n[0-9 :.-]+,M5.120,int,0,copy\n[0-9 :.-]+,M5.120,int,0,copy\n[0-9 :.-]+,M5.120,int,0,copy\n.*${copy_told}")
  set(control ${CMAKE_CURRENT_BINARY_DIR}/silent-clear.sock)
  kelvora_host_test(clear_silent_modem 5
                    "-n|1|--control|${control}|--|sh|-c|$<TARGET_FILE:kelvora-modemsim> --control ${control} --request '{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"silence\",\"times\":-1}' >/dev/null && ${host} modem clear --yes --answer-timeout 300 --port $KELVORA_MODEM0_DEVICE"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim> EXPECT "no answer to AT\\+CMGD=1,4")
  # A second Ctrl-C while the driver waits for a late prompt: the modem is
  # not left waiting for the message, and the next probe finds it ready.
  kelvora_host_test(cancel_send 0
                    "-n|2|--control|${CMAKE_CURRENT_BINARY_DIR}/cancel-send.sock|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/cancel_send.sh|${host}|$<TARGET_FILE:kelvora-modemsim>"
                    PROGRAM $<TARGET_FILE:kelvora-modemsim>
                    EXPECT "host exit 130.*message under way is cancelled.*result: ready for Kelvora")
  if(KELVORA_PYTHON3)
    # The README's commissioning recipe as it stands, both sessions at once.
    kelvora_host_test(commissioning_recipe 0
                      "-n|2|--|${KELVORA_PYTHON3}|${CMAKE_CURRENT_SOURCE_DIR}/tests/commissioning.py|${PROJECT_SOURCE_DIR}/README.md|${host}"
                      PROGRAM $<TARGET_FILE:kelvora-modemsim> EXPECT "PASS")
    # A person at the prompt: Ctrl-C stops a watch and keeps the session.
    kelvora_host_test(interactive_session 0
                      "-n|1|--|sh|-c|${KELVORA_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/interactive_session.py ${host} $KELVORA_MODEM0_DEVICE"
                      PROGRAM $<TARGET_FILE:kelvora-modemsim> EXPECT "PASS")
  endif()
endif()
if(TARGET kelvora-modemsim)
  set(sim $<TARGET_FILE:kelvora-modemsim>)
  kelvora_host_test(modemsim_version 0 "--version" PROGRAM ${sim} EXPECT "^kelvora-modemsim ${PROJECT_VERSION}[^0-9.]*$")
  # A modem that stays silent: probe says so and exits 5, within its bounds,
  # and shows that it waits.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/probe-silent.sock)
  kelvora_host_test(probe_silent_modem 5
                    "-n|1|--control|${control}|--|sh|-c|${sim} --control ${control} --request '{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"silence\",\"times\":-1}' >/dev/null && $<TARGET_FILE:kelvora-host> probe --answer-timeout 1500 --port $KELVORA_MODEM0_DEVICE"
                    PROGRAM ${sim} EXPECT "\\.\\.\\. +waiting for the answer to AT\n.*FAIL +no answer to AT: check power.*result: NOT READY")
  # probe --send-test sends as the driver does: here without echo (--fix) and
  # with a prompt of ">" alone.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/probe-prompt.sock)
  kelvora_host_test(probe_send_test_bare_prompt 0
                    "-n|2|--control|${control}|--|sh|-c|${sim} --control ${control} --request '{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"cut_off\",\"command\":\"AT+CMGS\",\"keep_bytes\":3}' >/dev/null && $<TARGET_FILE:kelvora-host> probe --fix --port $KELVORA_MODEM0_DEVICE --send-test $KELVORA_MODEM1_NUMBER"
                    PROGRAM ${sim} EXPECT "info +sent ATE0: OK.*command echo off.*test message to \\+8613900000002 accepted.*result: ready for Kelvora")
  # Messages already stored: probe warns that the driver will delete them.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/probe-stored.sock)
  kelvora_host_test(probe_stored_messages 0
                    "-n|1|--control|${control}|--|sh|-c|${sim} --control ${control} --request '{\"cmd\":\"inject\",\"modem\":0,\"text\":\"hello\",\"sender\":\"+8613700000000\",\"coding\":\"gsm7\"}' >/dev/null && $<TARGET_FILE:kelvora-host> probe --port $KELVORA_MODEM0_DEVICE"
                    PROGRAM ${sim} EXPECT "warn +message storage \"SM\": 1 of 30 used: the driver reads and then DELETES")
  # -v sums up each poll from the driver's trace: a stranger's text listed,
  # not a frame, deleted; and --trace=FILE keeps the dialogue.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/verbose-poll.sock)
  set(trace ${CMAKE_CURRENT_BINARY_DIR}/verbose-poll.trace)
  kelvora_host_test(verbose_poll_summary 0
                    "-n|1|--control|${control}|--|sh|-c|rm -f ${trace} && ${sim} --control ${control} --request '{\"cmd\":\"inject\",\"modem\":0,\"text\":\"hello\",\"sender\":\"+8613700000000\",\"coding\":\"gsm7\"}' >/dev/null && $<TARGET_FILE:kelvora-host> central -v --trace=${trace} --port $KELVORA_MODEM0_DEVICE read M5.120 && grep -q message.1.from.8613700000000 ${trace}"
                    PROGRAM ${sim} EXPECT "poll: listed 1, applied 0, refused by the sender check 0, not a frame 1, .*deleted 1")
  # KELVORA_TRACE works as in the driver: its file gets the lines beside the
  # console's own trace, which -v still reads the poll from.
  set(trace ${CMAKE_CURRENT_BINARY_DIR}/kelvora-trace-kept.trace)
  kelvora_host_test(kelvora_trace_kept 0
                    "-n|1|--|sh|-c|rm -f ${trace} && KELVORA_TRACE=${trace} $<TARGET_FILE:kelvora-host> central -v --port $KELVORA_MODEM0_DEVICE read M5.120 && grep -q 'poll done: listed 0' ${trace} && echo KELVORA_TRACE has the poll"
                    PROGRAM ${sim} EXPECT "KELVORA_TRACE has the poll.*poll: listed 0, ")
  # A modem that answers ERROR to everything is told so, not taken for ATV0.
  set(control ${CMAKE_CURRENT_BINARY_DIR}/probe-error.sock)
  kelvora_host_test(probe_error_modem 5
                    "-n|1|--control|${control}|--|sh|-c|${sim} --control ${control} --request '{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"error\",\"times\":-1}' >/dev/null && $<TARGET_FILE:kelvora-host> probe --fix --port $KELVORA_MODEM0_DEVICE"
                    PROGRAM ${sim} EXPECT "warn +sent ATE0: refused \\(ERROR\\).*FAIL +the modem answers ERROR even to AT.*NOT READY"
                    REJECT "numeric|info +sent")
  # Quiet mode (no result codes) and a listing that never ends: each named,
  # with its mend; probe --fix mends the first.
  kelvora_host_test(probe_mends 0
                    "-n|1|--control|${CMAKE_CURRENT_BINARY_DIR}/probe-mends.sock|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/probe_mends.sh|$<TARGET_FILE:kelvora-host>|${sim}"
                    PROGRAM ${sim}
                    EXPECT "FAIL +the modem gives no result codes \\(quiet mode, ATQ1\\).*send ATQ0 and save with AT&W.*NOT READY.*quiet: exit 5.*info +sent ATQ0: OK.*result: ready for Kelvora.*fixed: exit 0.*FAIL +the listing never ends: AT\\+CMGL=4 gave 40 bytes and no OK within 1000 ms.*modem clear, which sends AT\\+CMGD=1,4.*NOT READY.*endless listing: exit 5")
  # A port another program holds: locked (busy at once), or open unlocked
  # (named when nothing answers; the simulator stays silent, as it would be
  # when that program takes the answers first).
  set(control ${CMAKE_CURRENT_BINARY_DIR}/probe-taken.sock)
  if(KELVORA_PYTHON3)
    kelvora_host_test(probe_port_taken 5
                      "-n|1|--control|${control}|--|sh|-c|${sim} --control ${control} --request '{\"cmd\":\"fault\",\"modem\":0,\"kind\":\"silence\",\"times\":-1}' >/dev/null && ${KELVORA_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/port_taken.py $KELVORA_MODEM0_DEVICE $<TARGET_FILE:kelvora-host> probe --answer-timeout 300 --port $KELVORA_MODEM0_DEVICE"
                      PROGRAM ${sim} EXPECT "FAIL +no answer to AT, and the port is busy: also open in process [0-9]+ \\(python3\\)")
  endif()
  kelvora_host_test(probe_locked_port 4 "-n|1|--|sh|-c|flock $KELVORA_MODEM0_DEVICE $<TARGET_FILE:kelvora-host> probe --port $KELVORA_MODEM0_DEVICE"
                    PROGRAM ${sim} EXPECT "cannot open /[^ ]+: the port is busy")
  kelvora_host_test(watch_unplugged 5
                    "-n|1|--control|${CMAKE_CURRENT_BINARY_DIR}/watch-unplugged.sock|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/watch_unplugged.sh|$<TARGET_FILE:kelvora-host>|${sim}"
                    PROGRAM ${sim}
                    EXPECT "\\(the port failed. reopening\\).*\\(the port is back\\)")
  kelvora_host_test(modem_care 0
                    "-n|2|--control|${CMAKE_CURRENT_BINARY_DIR}/modem-care.sock|--|sh|${CMAKE_CURRENT_SOURCE_DIR}/tests/modem_care.sh|$<TARGET_FILE:kelvora-host>|${sim}"
                    PROGRAM ${sim}
                    EXPECT "2 of 30 used.*unread +from \\+8613900000002  20[0-9-]+ [0-9:]+  \"BEGINWM051200000002AEND\"  Kelvora write command: site 5, M120 = 42.*from \\+8613700000000 .*\"hello there\"  not a Kelvora frame.*clear without --yes: 2.*deleted; message storage \"SM\": 0 of 30 used.*\\+CPMS: \"SM\",0,30.*OK")
endif()
