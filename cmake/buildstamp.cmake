# SPDX-License-Identifier: GPL-3.0-only
# Writes the build stamp into OUT: the time of the last commit (UTC, to the
# minute) and whether the tree has changes that were not committed. The file
# is rewritten only when that text changes, so an unchanged tree builds
# nothing again. Usage: cmake -DTOP=<source> -DOUT=<file> -P buildstamp.cmake
set(stamp "")
set(changes 0)
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${TOP}/.git")
    set(ENV{TZ} UTC)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C "${TOP}" log -1 "--format=%cd"
            "--date=format-local:%Y-%m-%d %H:%M"
        OUTPUT_VARIABLE stamp OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C "${TOP}" status --porcelain --untracked-files=no
        OUTPUT_VARIABLE dirty OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT dirty STREQUAL "")
        set(changes 1)
    endif()
endif()
set(text "#define VELTO_BUILD_STAMP \"${stamp}\"\n#define VELTO_BUILD_CHANGES ${changes}\n")
set(old "")
if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUT}" "${text}")
endif()
