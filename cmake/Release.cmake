# What a release needs beyond the code: the version and copyright that the
# version resource, --version and the man page show; a build time taken from
# the sources instead of the clock, so that two builds of one commit are
# byte-identical; the Windows archive (target dist) and the native install.

set(KOBU_COPYRIGHT "Copyright (c) 2026 the kobu developers")
set(KOBU_VERSION_FIELDS "")
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    string(APPEND KOBU_VERSION_FIELDS "0,")
  else()
    string(APPEND KOBU_VERSION_FIELDS "${PROJECT_VERSION_${part}},")
  endif()
endforeach()
string(REGEX REPLACE ",$" "" KOBU_VERSION_FIELDS "${KOBU_VERSION_FIELDS}")

# The sources' time: SOURCE_DATE_EPOCH when it is set, else the time of the
# last commit; empty outside a git checkout, and then nothing built carries
# a time at all.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(KOBU_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT KOBU_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, not '${KOBU_SOURCE_DATE_EPOCH}'")
  endif()
else()
  set(KOBU_SOURCE_DATE_EPOCH "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    RESULT_VARIABLE git_result OUTPUT_VARIABLE git_time
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(git_result EQUAL 0 AND git_time MATCHES "^[0-9]+$")
      set(KOBU_SOURCE_DATE_EPOCH "${git_time}")
    endif()
  endif()
endif()
set(KOBU_SOURCE_DATE "")
if(KOBU_SOURCE_DATE_EPOCH)
  # string(TIMESTAMP) takes its time from SOURCE_DATE_EPOCH when that is set.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP KOBU_SOURCE_DATE "%Y-%m-%d" UTC)
  else()
    set(ENV{SOURCE_DATE_EPOCH} "${KOBU_SOURCE_DATE_EPOCH}")
    string(TIMESTAMP KOBU_SOURCE_DATE "%Y-%m-%d" UTC)
    unset(ENV{SOURCE_DATE_EPOCH})
  endif()
endif()

set(KOBU_GENERATED ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/resources/kobu_version.h.in ${KOBU_GENERATED}/kobu_version.h @ONLY)
target_include_directories(kobu PRIVATE ${KOBU_GENERATED})

if(WIN32)
  set_property(SOURCE resources/kobu.rc APPEND PROPERTY OBJECT_DEPENDS
               ${PROJECT_SOURCE_DIR}/resources/kobu.manifest ${KOBU_GENERATED}/kobu_version.h)
  # The link time stamp is the sources' time (ld reads SOURCE_DATE_EPOCH), or
  # none; the exe is linked again whenever that time changes.
  if(KOBU_SOURCE_DATE_EPOCH)
    set_property(TARGET kobu PROPERTY CXX_LINKER_LAUNCHER
                 ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KOBU_SOURCE_DATE_EPOCH})
  else()
    set_property(TARGET kobu PROPERTY CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env --unset=SOURCE_DATE_EPOCH)
    target_link_options(kobu PRIVATE -Wl,--no-insert-timestamp)
  endif()
  file(CONFIGURE OUTPUT ${KOBU_GENERATED}/source-date-epoch.txt CONTENT "${KOBU_SOURCE_DATE_EPOCH}\n")
  set_property(TARGET kobu APPEND PROPERTY LINK_DEPENDS ${KOBU_GENERATED}/source-date-epoch.txt)
  target_link_options(kobu PRIVATE -Wl,--tsaware)
endif()

if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The release archive: kobu.exe, readme.txt and kobu.txt.sample in
  # KOBU_DIST_DIR/kobu-VERSION-win32.zip, with SHA256SUMS beside it.  Only
  # the 32-bit program is ever shipped: the 64-bit test build has no archive.
  set(KOBU_DIST_DIR ${PROJECT_BINARY_DIR}/dist CACHE PATH "Where the dist target writes the release archive")
  if(EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3)
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_target(dist
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/dist/make_dist.py
            --exe $<TARGET_FILE:kobu> --version ${PROJECT_VERSION}
            --epoch=${KOBU_SOURCE_DATE_EPOCH} --out ${KOBU_DIST_DIR}
    DEPENDS kobu
    VERBATIM)
elseif(NOT WIN32)
  # The native install: the program, its manual page and the licence.
  include(GNUInstallDirs)
  configure_file(${PROJECT_SOURCE_DIR}/doc/kobu.1.in ${KOBU_GENERATED}/kobu.1 @ONLY)
  install(TARGETS kobu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${KOBU_GENERATED}/kobu.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
