# Makes the release packages of one build into DIST_DIR, each with its
# SHA-256 sum beside it (the format of sha256sum, so `sha256sum -c` checks it).
#   cmake -DSOURCE_DIR= -DBINARY_DIR= -DFILES_DIR= -DWORK_DIR= -DDIST_DIR= -DVERSION=
#         -DSYSTEM=win32|linux-... -DCPACK_CONFIG= [-DWIXL=] -P make_packages.cmake
# Refuses to package a version that the changelog has no section for, or that
# the README's install section does not name.
cmake_minimum_required(VERSION 3.20)

function(fail message)
  message(FATAL_ERROR "release packages: ${message}")
endfunction()

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE code OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  if(NOT code EQUAL 0)
    list(JOIN ARGN " " command)
    fail("${command} failed (${code}):\n${out}")
  endif()
endfunction()

# A text file as Windows shows it: CR LF line ends; BOM: a UTF-8 byte order
# mark, so that Notepad never guesses another code page.
function(windows_text from to bom)
  file(READ ${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  if(bom)
    string(ASCII 239 187 191 mark)  # the bytes EF BB BF
    set(text "${mark}${text}")
  endif()
  file(WRITE ${to} "${text}")
endfunction()

file(STRINGS ${SOURCE_DIR}/CHANGELOG.md newest REGEX "^## " LIMIT_COUNT 1)
if(NOT newest MATCHES "^## ${VERSION} ")
  fail("the newest section of CHANGELOG.md is '${newest}', not version ${VERSION}")
endif()

file(READ ${SOURCE_DIR}/README.md readme)
string(FIND "${readme}" "kelvora-${VERSION}-win32.msi" named)
if(named EQUAL -1)
  fail("README.md does not name kelvora-${VERSION}-win32.msi: its install section is of another version")
endif()

file(GLOB old ${DIST_DIR}/kelvora-*-${SYSTEM}.*)
if(old)
  file(REMOVE ${old})
endif()

set(packages ${DIST_DIR}/kelvora-${VERSION}-${SYSTEM})
if(SYSTEM STREQUAL "win32")
  file(MAKE_DIRECTORY ${FILES_DIR})
  windows_text(${SOURCE_DIR}/README.md ${FILES_DIR}/README.txt ON)
  windows_text(${SOURCE_DIR}/CHANGELOG.md ${FILES_DIR}/CHANGELOG.txt ON)
  windows_text(${SOURCE_DIR}/packaging/register.cmd ${FILES_DIR}/register.cmd OFF)
  windows_text(${SOURCE_DIR}/packaging/unregister.cmd ${FILES_DIR}/unregister.cmd OFF)
  set(packages ${packages}.zip ${packages}.msi)
else()
  set(packages ${packages}.tar.gz)
endif()

file(MAKE_DIRECTORY ${DIST_DIR})
run(${CMAKE_CPACK_COMMAND} --config ${CPACK_CONFIG})
foreach(archive zip tar.gz)
  set(made ${WORK_DIR}/cpack/kelvora-${VERSION}-${SYSTEM}.${archive})
  if(EXISTS ${made})
    file(RENAME ${made} ${DIST_DIR}/kelvora-${VERSION}-${SYSTEM}.${archive})
  endif()
endforeach()

if(SYSTEM STREQUAL "win32")
  if(NOT WIXL)
    fail("wixl not found: install Debian's wixl package")
  endif()
  # The installer takes the same stripped files as the zip.
  file(REMOVE_RECURSE ${WORK_DIR}/msi-files)
  run(${CMAKE_COMMAND} --install ${BINARY_DIR} --component release --prefix ${WORK_DIR}/msi-files --strip)
  run(${CMAKE_COMMAND} -DVERSION=${VERSION} -DFILES_DIR=${WORK_DIR}/msi-files
      -DMSI=${DIST_DIR}/kelvora-${VERSION}-win32.msi -DWIXL=${WIXL} -P ${SOURCE_DIR}/packaging/make_msi.cmake)
endif()

foreach(package ${packages})
  if(NOT EXISTS ${package})
    fail("${package} was not made")
  endif()
  file(SHA256 ${package} sum)
  get_filename_component(name ${package} NAME)
  file(WRITE ${package}.sha256 "${sum}  ${name}\n")
  file(SIZE ${package} size)
  message(STATUS "${name}: ${size} bytes, sha256 ${sum}")
endforeach()
