# Run as a test (cmake -P): every file that cannot include the identifiers'
# header (the IDL, the installer's source, its scripts, the README) names the
# identifiers it must as src/com/com_identifiers.h writes them.
#   -DROOT=<source tree> -DCLASSES=<texts> -DALL=<texts>  (","-separated,
#   each as the header writes it: quoted, with braces)
function(expect_ids file ids)
  file(READ ${ROOT}/${file} content)
  string(REPLACE "," ";" ids "${ids}")
  foreach(id IN LISTS ids)
    string(REGEX REPLACE "[{}\"]" "" bare "${id}")
    string(FIND "${content}" "${bare}" at)
    if(at LESS 0)
      message(SEND_ERROR "${file} does not name ${id}, as src/com/com_identifiers.h has it")
    endif()
  endforeach()
endfunction()

expect_ids(src/com/kelvora.idl "${ALL}")
foreach(file packaging/kelvora.wxs packaging/register.cmd packaging/unregister.cmd
             packaging/tests/windows_install.sh README.md)
  expect_ids(${file} "${CLASSES}")
endforeach()
