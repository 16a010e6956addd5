cmake_minimum_required(VERSION 3.16)
# Fails the build when a file includes what its layer may not see.
#   base/                          Qt Core only
#   the core (CORE: file list)     base/ and other core headers; no widget header
#   device/                        base/, the core and device/; no widget header
#   persistence/                   base/ and the core; no widget header
#   controllers (scope/, instruments/, widgets/, ui/, console/)   anything but app/;
#                                  only console/ includes console/ headers
# No layer but the window (app/) includes app/ headers.
# Run as: cmake -DTOP=<source dir> -DCORE=<files, comma-separated> -DQT_WIDGETS_DIR=<dirs, comma-separated> -P layers.cmake

string(REPLACE "," ";" CORE "${CORE}")
string(REPLACE "," ";" QT_WIDGETS_DIR "${QT_WIDGETS_DIR}")
set(widget_headers "qcustomplot.h" "ui_.*\\.h" "QtWidgets/.*")
foreach(dir ${QT_WIDGETS_DIR})
    if(dir MATCHES "QtWidgets$")
        file(GLOB names RELATIVE ${dir} ${dir}/Q*)
        list(APPEND widget_headers ${names})
    endif()
endforeach()
list(REMOVE_DUPLICATES widget_headers)
string(REPLACE ";" "|" widget_pattern "${widget_headers}")

set(core_headers "")
foreach(source ${CORE})
    string(REGEX REPLACE "\\.cpp$" ".h" header ${source})
    list(APPEND core_headers ${header})
endforeach()

set(failures "")
function(check_file file allowed_pattern forbid_widgets)
    file(STRINGS ${TOP}/${file} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
        if(line MATCHES "#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
            set(included ${CMAKE_MATCH_1})
            if(included MATCHES "^(app|base|device|persistence|scope|instruments|widgets|ui|console)/")
                if(NOT included MATCHES "${allowed_pattern}")
                    list(APPEND failures "${file}: includes ${included}")
                endif()
            elseif(forbid_widgets AND included MATCHES "^(${widget_pattern})$")
                list(APPEND failures "${file}: includes the widget header ${included}")
            endif()
        endif()
    endforeach()
    set(failures ${failures} PARENT_SCOPE)
endfunction()

string(REPLACE ";" "|" core_pattern "${core_headers}")
string(REPLACE "." "\\." core_pattern "${core_pattern}")

file(GLOB_RECURSE all RELATIVE ${TOP} ${TOP}/base/* ${TOP}/device/* ${TOP}/persistence/* ${TOP}/scope/*
     ${TOP}/instruments/* ${TOP}/widgets/* ${TOP}/ui/* ${TOP}/console/*)
foreach(file ${all})
    if(NOT file MATCHES "\\.(cpp|h)$")
        continue()
    endif()
    string(REGEX REPLACE "\\.(cpp|h)$" ".cpp" as_source ${file})
    if(file MATCHES "^base/")
        check_file(${file} "^base/" TRUE)
    elseif(as_source IN_LIST CORE)
        check_file(${file} "^(base/|${core_pattern}$)" TRUE)
    elseif(file MATCHES "^device/")
        check_file(${file} "^(base/|device/|${core_pattern}$)" TRUE)
    elseif(file MATCHES "^persistence/")
        check_file(${file} "^(base/|persistence/|${core_pattern}$)" TRUE)
    elseif(file MATCHES "^console/")
        check_file(${file} "^(base|device|persistence|scope|instruments|widgets|ui|console)/" FALSE)
    else()
        check_file(${file} "^(base|device|persistence|scope|instruments|widgets|ui)/" FALSE)
    endif()
endforeach()

if(failures)
    string(REPLACE ";" "\n  " report "${failures}")
    message(FATAL_ERROR "Layer rules broken (see ARCHITECTURE.md):\n  ${report}")
endif()
