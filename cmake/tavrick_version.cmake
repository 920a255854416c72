# The version of a build: the number in project(VERSION ...), and, when the source tree is not
# exactly at the tag v<number>, what git says about the commit, in git describe's own form:
#   0.1.0                  at the tag v0.1.0, nothing changed
#   0.1.0-3-g0123456789    3 commits after the tag v0.1.0 (or 3 commits in all without that tag)
#   0.1.0-3-g0123456789-dirty   the same with changes not yet committed
# Without git (a tree exported from a tag) the number alone.
#
# tavrick_version(NUMBER SOURCE_DIR) sets in the caller's scope:
#   TAVRICK_VERSION         the text above
#   TAVRICK_VERSION_FOUR    four numbers for the Windows version resource: the three of NUMBER and
#                           the commit count after the tag (0 at the tag)
#   TAVRICK_SOURCE_DATE_EPOCH  the time stamp for archives: SOURCE_DATE_EPOCH from the environment,
#                           else the commit time, else 1980-01-01 (the first date a zip can hold)
#   TAVRICK_GIT_FILES       files of the repository that change with every commit or checkout
#
# Script mode, for tests: cmake -DNUMBER=0.1.0 -DSOURCE_DIR=... -P tavrick_version.cmake prints
# the three values, one a line.

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

function(tavrick_version number source_dir)
  if(NOT number MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "version ${number}: three numbers expected (major.minor.patch)")
  endif()
  set(version ${number})
  set(count 0)
  set(epoch 315532800)
  set(git_files)
  find_program(TAVRICK_GIT git)
  set(no_git 1)
  if(TAVRICK_GIT)
    # Only the source tree's own repository counts, not one that happens to hold the folder.
    execute_process(COMMAND ${TAVRICK_GIT} rev-parse --show-toplevel WORKING_DIRECTORY ${source_dir}
                    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    file(REAL_PATH "${source_dir}" source_real)
    if(top AND EXISTS "${top}")
      file(REAL_PATH "${top}" top)
    endif()
    if(top STREQUAL source_real)
      execute_process(COMMAND ${TAVRICK_GIT} rev-parse --short=10 HEAD
                      WORKING_DIRECTORY ${source_dir} OUTPUT_VARIABLE hash
                      OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE no_git ERROR_QUIET)
    endif()
  endif()
  if(no_git EQUAL 0)
    # --long always gives "<tag>-<count>-g<hash>", also at the tag itself.
    execute_process(COMMAND ${TAVRICK_GIT} describe --tags --long --dirty --abbrev=10
                            --match v${number}
                    WORKING_DIRECTORY ${source_dir} OUTPUT_VARIABLE described
                    OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE no_tag ERROR_QUIET)
    if(no_tag EQUAL 0 AND described MATCHES "^v[^-]+-([0-9]+)-g[0-9a-f]+(-dirty)?$")
      set(count ${CMAKE_MATCH_1})
      set(dirty "${CMAKE_MATCH_2}")
    else()
      execute_process(COMMAND ${TAVRICK_GIT} rev-list --count HEAD WORKING_DIRECTORY ${source_dir}
                      OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE)
      execute_process(COMMAND ${TAVRICK_GIT} describe --always --dirty --abbrev=10
                      WORKING_DIRECTORY ${source_dir} OUTPUT_VARIABLE described
                      OUTPUT_STRIP_TRAILING_WHITESPACE)
      set(dirty "")
      if(described MATCHES "-dirty$")
        set(dirty "-dirty")
      endif()
    endif()
    if(NOT count EQUAL 0 OR NOT dirty STREQUAL "" OR NOT no_tag EQUAL 0)
      set(version "${number}-${count}-g${hash}${dirty}")
    endif()
    execute_process(COMMAND ${TAVRICK_GIT} log -1 --format=%ct WORKING_DIRECTORY ${source_dir}
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
    foreach(name logs/HEAD HEAD)
      execute_process(COMMAND ${TAVRICK_GIT} rev-parse --path-format=absolute --git-path ${name}
                      WORKING_DIRECTORY ${source_dir} OUTPUT_VARIABLE file
                      OUTPUT_STRIP_TRAILING_WHITESPACE)
      if(EXISTS "${file}")
        list(APPEND git_files "${file}")
      endif()
    endforeach()
  endif()
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch $ENV{SOURCE_DATE_EPOCH})
  endif()
  # The fourth number of a Windows version is 16 bits wide.
  if(count GREATER 65535)
    set(count 65535)
  endif()
  string(REPLACE "." "," four "${number},${count}")
  set(TAVRICK_VERSION ${version} PARENT_SCOPE)
  set(TAVRICK_VERSION_FOUR ${four} PARENT_SCOPE)
  set(TAVRICK_SOURCE_DATE_EPOCH ${epoch} PARENT_SCOPE)
  set(TAVRICK_GIT_FILES ${git_files} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  tavrick_version(${NUMBER} ${SOURCE_DIR})
  message("${TAVRICK_VERSION}\n${TAVRICK_VERSION_FOUR}\n${TAVRICK_SOURCE_DATE_EPOCH}")
endif()
