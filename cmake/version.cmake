# The product's version, written once: major.minor.patch in VERSION, and as
# the fourth part the commit's number on its history (git rev-list --count),
# so that two commits never share a file version. QZ_BUILD_NUMBER overrides
# it; outside a git checkout it is 0.
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION QZ_VERSION_BASE LIMIT_COUNT 1)
if(NOT QZ_VERSION_BASE MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must read major.minor.patch, not '${QZ_VERSION_BASE}'")
endif()
set(QZ_VERSION_PARTS ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3})

if(NOT DEFINED QZ_BUILD_NUMBER OR QZ_BUILD_NUMBER STREQUAL "")
  set(QZ_BUILD_NUMBER 0)
  find_package(Git QUIET)
  if(GIT_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE _count RESULT_VARIABLE _rc
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(_rc EQUAL 0 AND _count MATCHES "^[0-9]+$")
      set(QZ_BUILD_NUMBER ${_count})
    endif()
    # A new commit configures the tree again, so the number follows it.
    if(EXISTS ${CMAKE_SOURCE_DIR}/.git/logs/HEAD)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                   ${CMAKE_SOURCE_DIR}/.git/logs/HEAD)
    endif()
  endif()
endif()
list(APPEND QZ_VERSION_PARTS ${QZ_BUILD_NUMBER})
foreach(_part ${QZ_VERSION_PARTS})
  if(NOT _part MATCHES "^[0-9]+$" OR _part GREATER 65535)
    message(FATAL_ERROR "a version part must be a number up to 65535, not '${_part}'")
  endif()
endforeach()
list(JOIN QZ_VERSION_PARTS "." QZ_VERSION)
list(JOIN QZ_VERSION_PARTS "," QZ_VERSION_COMMAS)
file(WRITE ${CMAKE_BINARY_DIR}/version.txt "${QZ_VERSION}\n")

# qz_version_resource(<target> <description>): the version record of one
# program, from the one template.
function(qz_version_resource target description)
  set(QZ_FILE_DESCRIPTION "${description}")
  set(QZ_INTERNAL_NAME "${target}")
  set(_rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${_rc} @ONLY)
  target_sources(${target} PRIVATE ${_rc})
endfunction()
