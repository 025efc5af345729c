# The COM shell's unit tests link its shared part; the products are tested
# through their entry points (dlopen natively, Wine for Kelvora.dll).
if(TARGET com_tests AND TARGET kelvora_com)
  target_link_libraries(com_tests PRIVATE kelvora_com)
  if(NOT WIN32)
    add_dependencies(com_tests Kelvora)
    target_compile_definitions(com_tests PRIVATE KELVORA_SHARED_LIBRARY="$<TARGET_FILE:Kelvora>")
    target_link_libraries(com_tests PRIVATE ${CMAKE_DL_LIBS})
  endif()
endif()
