# kelvora_platform_sources(<out-var> <dir> <pattern>): the files of a folder
# that match the pattern, with the platform rule applied: *_win32.cpp only in
# the Win32 build, *_posix.cpp only in the native one.
function(kelvora_platform_sources out dir pattern)
  file(GLOB files CONFIGURE_DEPENDS ${dir}/${pattern})
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "_posix(_test)?\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "_win32(_test)?\\.cpp$")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()
