# Fails unless the compiler itself refuses an include against the layers: each case
# compiles one include line with nothing but a library's own include folder.
# Run as: cmake -DCOMPILER=<c++> -DLAYERS=<build>/layers -DGENERATED=<build>/generated
#         -DQT_INCLUDES=<Qt folders joined by |> -P CheckLayerForests.cmake
set(cases
    "harbrook_engine|widgets/LumoListbox.h"
    "harbrook_engine|app/TFHarbrook.h"
    "harbrook_engine|platform/qt/Guard.h"
    "harbrook_ftp_transport|ftp/client/IdFTP.h"
    "harbrook_ftp_listing|ftp/transport/IdReply.h"
    "harbrook_platform|ftp/IdException.h"
    "harbrook_widgets|engine/DirListings.h")
# And what each layer may include still compiles.
set(allowed
    "harbrook_engine|ftp/client/IdFTP.h"
    "harbrook_ftp_transport|ftp/IdException.h"
    "harbrook_widgets|platform/qt/Guard.h")
# Qt's own folders (the widgets' headers include Qt's), as the build knows them.
string(REPLACE "|" ";" qt_folders "${QT_INCLUDES}")
set(qt "")
foreach(folder IN LISTS qt_folders)
    # Only Qt's: the library's own layer folder would let a refused include through.
    if(folder MATCHES "[Qq]t[0-9]" AND NOT folder MATCHES "/layers/")
        list(APPEND qt -isystem ${folder})
    endif()
endforeach()
set(failures "")
foreach(kind refused allowed)
    if(kind STREQUAL "refused")
        set(list ${cases})
    else()
        set(list ${allowed})
    endif()
    foreach(case IN LISTS list)
        string(REPLACE "|" ";" parts "${case}")
        list(GET parts 0 library)
        list(GET parts 1 header)
        file(WRITE ${LAYERS}/check-${library}.cpp "#include \"${header}\"\n")
        execute_process(
            COMMAND ${COMPILER} -std=c++20 -fsyntax-only -fPIC -I${LAYERS}/${library} -I${GENERATED} ${qt}
                    ${LAYERS}/check-${library}.cpp
            RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
        file(REMOVE ${LAYERS}/check-${library}.cpp)
        if(kind STREQUAL "refused" AND result EQUAL 0)
            list(APPEND failures "${library} compiled an include of ${header}")
        elseif(kind STREQUAL "allowed" AND NOT result EQUAL 0)
            list(APPEND failures "${library} could not include ${header}")
        endif()
    endforeach()
endforeach()
if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "Layer include folders:\n  ${text}")
endif()
message(STATUS "Layer include folders: every wrong include fails to compile")
