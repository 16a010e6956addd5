# SPDX-License-Identifier: GPL-3.0-only
# Resources made at build time: the icons rendered from their vector sources,
# and the fonts copied from Debian's font packages (not kept in the tree).
# Also a function that registers every resource file of the static library,
# since a linker keeps no resource object nobody refers to.

set(VELTO_GENERATED ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${VELTO_GENERATED}/icons ${VELTO_GENERATED}/fonts)

add_executable(velto_render_icons ${CMAKE_SOURCE_DIR}/resources/tools/rendericons.cpp)
target_link_libraries(velto_render_icons PRIVATE Qt5::Gui Qt5::Svg)

file(GLOB VELTO_ICON_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/icons/src/*.svg)
set(VELTO_ICON_PNGS "")
set(VELTO_QRC_ICONS "")
foreach(svg ${VELTO_ICON_SOURCES})
    get_filename_component(name ${svg} NAME_WE)
    list(APPEND VELTO_ICON_PNGS ${VELTO_GENERATED}/icons/${name}.png)
    string(APPEND VELTO_QRC_ICONS "        <file alias=\"${name}.png\">icons/${name}.png</file>\n")
endforeach()
add_custom_command(OUTPUT ${VELTO_ICON_PNGS}
    COMMAND velto_render_icons ${VELTO_GENERATED}/icons ${VELTO_ICON_SOURCES}
    DEPENDS velto_render_icons ${VELTO_ICON_SOURCES}
    COMMENT "Rendering icons")

# Resource name -> font file from a Debian package. Free stand-ins where the
# original faces are not packaged: Liberation Mono for Courier New's metrics,
# DejaVu Sans Mono for the source-code faces.
set(VELTO_FONT_MAP
    "cour.ttf=/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf"
    "SourceCodeVariable-Roman.ttf=/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
    "SourceCodeVariable-Italic.ttf=/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Oblique.ttf")
set(VELTO_FONT_FILES "")
set(VELTO_QRC_FONTS "")
foreach(entry ${VELTO_FONT_MAP})
    string(REPLACE "=" ";" pair ${entry})
    list(GET pair 0 alias)
    list(GET pair 1 source)
    if(NOT EXISTS ${source})
        message(FATAL_ERROR "Font ${source} is missing: run scripts/setup.sh")
    endif()
    add_custom_command(OUTPUT ${VELTO_GENERATED}/fonts/${alias}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${VELTO_GENERATED}/fonts/${alias}
        DEPENDS ${source})
    list(APPEND VELTO_FONT_FILES ${VELTO_GENERATED}/fonts/${alias})
    string(APPEND VELTO_QRC_FONTS "        <file alias=\"${alias}\">fonts/${alias}</file>\n")
endforeach()

file(WRITE ${VELTO_GENERATED}/generated.qrc.in
"<RCC>\n    <qresource prefix=\"/icons\">\n${VELTO_QRC_ICONS}    </qresource>\n    <qresource prefix=\"/fonts\">\n${VELTO_QRC_FONTS}    </qresource>\n</RCC>\n")
configure_file(${VELTO_GENERATED}/generated.qrc.in ${VELTO_GENERATED}/generated.qrc COPYONLY)

get_target_property(VELTO_RCC Qt5::rcc IMPORTED_LOCATION)
add_custom_command(OUTPUT ${VELTO_GENERATED}/qrc_generated.cpp
    COMMAND ${VELTO_RCC} --name generated -o ${VELTO_GENERATED}/qrc_generated.cpp ${VELTO_GENERATED}/generated.qrc
    DEPENDS ${VELTO_GENERATED}/generated.qrc ${VELTO_ICON_PNGS} ${VELTO_FONT_FILES}
    WORKING_DIRECTORY ${VELTO_GENERATED})

set(VELTO_RESOURCE_INITS "    Q_INIT_RESOURCE(generated);\n")
foreach(qrc ${VELTO_QRC})
    get_filename_component(name ${qrc} NAME_WE)
    string(APPEND VELTO_RESOURCE_INITS "    Q_INIT_RESOURCE(${name});\n")
endforeach()
file(WRITE ${VELTO_GENERATED}/resourceinit.cpp.in
"// Generated: registers every resource file compiled into Velto.\n#include <QtGlobal>\n#include <QDir>\n\nvoid veltoInitResources()\n{\n${VELTO_RESOURCE_INITS}}\n")
configure_file(${VELTO_GENERATED}/resourceinit.cpp.in ${VELTO_GENERATED}/resourceinit.cpp COPYONLY)

set(VELTO_GENERATED_SOURCES ${VELTO_GENERATED}/qrc_generated.cpp ${VELTO_GENERATED}/resourceinit.cpp)
set_source_files_properties(${VELTO_GENERATED_SOURCES} PROPERTIES SKIP_AUTOGEN ON GENERATED ON)
