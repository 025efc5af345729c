# The facts the tools share with the driver, read from the driver's own
# headers at configure time: a constant renamed or moved there stops the
# configuration here rather than leaving a tool with a stale copy.
#   kelvora_fact(VAR header name): the value after "name = " up to ";",
#   numbers evaluated ("10u * 1024 * 1024" gives 10485760).
# Writes ${CMAKE_BINARY_DIR}/python/kelvora_facts.py for the Python tools.

function(kelvora_fact_text out header name)
  set(path ${PROJECT_SOURCE_DIR}/src/${header})
  file(STRINGS ${path} lines REGEX "[ *]${name}(\\[\\])? = ")
  if(NOT lines MATCHES "${name}(\\[\\])? = ([^;]+);")
    message(FATAL_ERROR "kelvora facts: no '${name} = ...;' in src/${header}")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
  # file(STRINGS) writes the line's own ";" as "\;".
  string(REGEX REPLACE "[\\]$" "" text "${CMAKE_MATCH_2}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(kelvora_fact out header name)
  kelvora_fact_text(text ${header} ${name})
  if(text MATCHES "\"")
    set(${out} "${text}" PARENT_SCOPE)
  else()
    string(REGEX REPLACE "([0-9]+)[uUlL]+" "\\1" text "${text}")
    math(EXPR value "${text}")
    set(${out} ${value} PARENT_SCOPE)
  endif()
endfunction()

kelvora_fact(KELVORA_GROUP_SIZE stations/telemetry_frame.h kGroupSize)
kelvora_fact(KELVORA_POLL_INTERVAL_MS stations/image_entry.h kPollIntervalMs)
kelvora_fact(KELVORA_MODEM_PAUSE_MS stations/image_entry.h kModemPauseMs)
kelvora_fact(KELVORA_MAX_LISTED_RECORDS modem/sms_record.h kMaxListedRecords)
kelvora_fact(KELVORA_TRACE_FILE_BOUND platform/trace_sink.h kTraceFileBound)
kelvora_fact_text(stat_names modem/sms_record.h kStatNames)
string(REGEX REPLACE "^{(.*)}$" "(\\1)" KELVORA_STAT_NAMES "${stat_names}")
kelvora_fact(KELVORA_HANDSHAKE_NONE serial/serial_port.h kHandshakeNone)
kelvora_fact(KELVORA_HANDSHAKE_HARDWARE serial/serial_port.h kHandshakeHardware)
kelvora_fact(KELVORA_HANDSHAKE_OPEN serial/serial_port.h kHandshakeOpen)
foreach(id LibidKelvora ClsidSMSClient ClsidSMSServer IidISMSClient IidISMSServer)
  kelvora_fact(KELVORA_${id} com/com_identifiers.h k${id}Text)
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/tools/harness/kelvora_facts.py.in ${CMAKE_BINARY_DIR}/python/kelvora_facts.py @ONLY)
