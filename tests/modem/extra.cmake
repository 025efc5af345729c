# Modem tests beyond the unit executable: the embedded transcripts, the
# cross-check with Gammu (native), and the end-to-end run on the simulator.
file(GLOB modem_transcripts CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/transcripts/*.txt)
set(modem_generated ${CMAKE_CURRENT_BINARY_DIR}/modem_generated)
add_custom_command(
  OUTPUT ${modem_generated}/modem_transcripts.h
  COMMAND ${CMAKE_COMMAND} -E make_directory ${modem_generated}
  COMMAND ${CMAKE_COMMAND} -DDIR=${CMAKE_CURRENT_LIST_DIR}/transcripts -DOUTPUT=${modem_generated}/modem_transcripts.h
          -P ${CMAKE_CURRENT_LIST_DIR}/embed_transcripts.cmake
  DEPENDS ${modem_transcripts} ${CMAKE_CURRENT_LIST_DIR}/embed_transcripts.cmake
  COMMENT "Embedding the modem transcripts"
  VERBATIM)
add_custom_target(modem_transcripts DEPENDS ${modem_generated}/modem_transcripts.h)
if(TARGET modem_tests)
  add_dependencies(modem_tests modem_transcripts)
  target_include_directories(modem_tests PRIVATE ${modem_generated})
endif()
