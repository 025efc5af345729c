# The station tests' own helpers: a fake modem behind the scripted port and
# PDUs built independently of the driver's codecs.
if(TARGET stations_tests)
  target_sources(stations_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/deliver_pdu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fake_modem.cpp)
  target_include_directories(stations_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()
