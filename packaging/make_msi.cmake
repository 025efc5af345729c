# Makes the Windows installer of one version from a folder of its files:
#   cmake -DVERSION=1.0.0.1 -DFILES_DIR=<folder> -DMSI=<package> -DWIXL=<wixl> -P make_msi.cmake
# The release packages are made so, and the install test makes packages of
# other versions so, to install them over each other.
cmake_minimum_required(VERSION 3.20)

if(NOT VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "installer: '${VERSION}' is not a version of four fields (major.minor.release.build)")
endif()
# The installer compares major.minor.release only: the package is told its
# release, its build and the first release it does not replace (see
# kelvora.wxs for what it does with them).
set(release ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3})
set(build ${CMAKE_MATCH_4})
math(EXPR next "${CMAKE_MATCH_3} + 1")
set(upgrade_below ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${next})

# wixl reads the files relative to the folder it runs in.
get_filename_component(files_parent ${FILES_DIR} DIRECTORY)
get_filename_component(files_name ${FILES_DIR} NAME)
execute_process(
  COMMAND ${WIXL} -a x86 -D Version=${VERSION} -D Release=${release} -D Build=${build}
          -D UpgradeBelow=${upgrade_below} -D Files=${files_name} -o ${MSI} ${CMAKE_CURRENT_LIST_DIR}/kelvora.wxs
  WORKING_DIRECTORY ${files_parent} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "installer: wixl failed (${code}):\n${out}")
endif()
