# The COM shell's unit tests link its shared part; the products are tested
# through their entry points (dlopen natively, Wine for Kelvora.dll).
if(TARGET com_tests AND TARGET kelvora_com)
  target_link_libraries(com_tests PRIVATE kelvora_com)
endif()
