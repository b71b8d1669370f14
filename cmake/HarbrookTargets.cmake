# Settings every target of our own gets: strict warnings (failing the build unless a
# packager switches HARBROOK_WERROR off), and the source root on the include path so
# includes read "ftp/IdReply.h".
function(harbrook_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(HARBROOK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

function(harbrook_library target)
    add_library(${target} STATIC ${ARGN})
    harbrook_defaults(${target})
endfunction()
