# Fails when a source file includes a project header against the allowed directions of
# the layers. Run as: cmake -DROOT=<source tree> -P CheckIncludes.cmake
#
#   app      -> widgets, update, engine, platform
#   update   -> widgets, engine, ftp, platform   (its window is built from the kit)
#   widgets  -> platform
#   engine   -> ftp, platform (not platform/qt)
#   ftp      -> platform (not platform/qt); ftp/listing and ftp/transport -> nothing
#               else of ftp/ but the shared exception and type headers at ftp/'s top;
#               ftp/client uses both
#   platform -> platform (platform/qt may use platform; platform may not use qt/)
#   tools    -> anything but app
#   nothing includes app/ or tools/ from outside them
if(NOT ROOT)
    message(FATAL_ERROR "CheckIncludes: ROOT is not set")
endif()

set(allowed_app "app;widgets;update;engine;platform")
set(allowed_update "update;widgets;engine;ftp;platform")
set(allowed_widgets "widgets;platform")
set(allowed_engine "engine;ftp;platform")
set(allowed_ftp "ftp;platform")
set(allowed_platform "platform")
set(allowed_tools "tools;update;widgets;engine;ftp;platform")

set(violations "")
foreach(folder app update widgets engine ftp platform tools)
    file(GLOB_RECURSE sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(source IN LISTS sources)
        file(RELATIVE_PATH relative "${ROOT}" "${source}")
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" target "${line}")
            string(REGEX MATCH "^[^/]+" target_folder "${target}")
            if(NOT target MATCHES "/")
                continue()
            endif()
            if(NOT target_folder MATCHES "^(app|update|widgets|engine|ftp|platform|tools)$")
                continue()
            endif()
            set(ok FALSE)
            list(FIND allowed_${folder} "${target_folder}" found)
            if(NOT found EQUAL -1)
                set(ok TRUE)
            endif()
            # The Qt side of the platform layer is for the GUI only.
            if(target MATCHES "^platform/qt/" AND folder MATCHES "^(engine|ftp|platform)$"
               AND NOT relative MATCHES "^platform/qt/")
                set(ok FALSE)
            endif()
            # Listing parsers take text, never a socket; the transport knows no FTP session.
            if(relative MATCHES "^ftp/listing/" AND target MATCHES "^ftp/(transport|client)/")
                set(ok FALSE)
            endif()
            if(relative MATCHES "^ftp/transport/" AND target MATCHES "^ftp/(client|listing)/")
                set(ok FALSE)
            endif()
            if(NOT ok)
                list(APPEND violations "${relative} includes \"${target}\"")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Includes against the layer directions:\n  ${text}")
endif()
message(STATUS "Include directions: all files keep to them")
