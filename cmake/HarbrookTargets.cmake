# Strict warnings for every target of our own, failing the build unless a packager
# switches HARBROOK_WERROR off.
function(harbrook_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(HARBROOK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Programs and tests: the warnings, and the whole source root on the include path so
# includes read "ftp/IdReply.h".
function(harbrook_defaults target)
    harbrook_warnings(${target})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A library of one layer sees only the parts of the source tree named after LAYER, so
# an include against the layers' directions fails to compile:
#   harbrook_library(name LAYER platform/* ftp/* ftp/transport SOURCES a.cpp b.cpp)
# "folder" is a whole folder, "folder/*" the files directly in it (not its subfolders).
# The parts are linked into a folder of their own in the build tree.
function(harbrook_library target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "LAYER;SOURCES")
    add_library(${target} STATIC ${ARG_SOURCES})
    harbrook_warnings(${target})
    set(forest ${PROJECT_BINARY_DIR}/layers/${target})
    file(REMOVE_RECURSE ${forest})
    foreach(part IN LISTS ARG_LAYER)
        if(part MATCHES "^(.*)/\\*$")
            set(folder ${CMAKE_MATCH_1})
            file(GLOB entries LIST_DIRECTORIES true RELATIVE ${PROJECT_SOURCE_DIR}/${folder}
                 ${PROJECT_SOURCE_DIR}/${folder}/*)
            file(MAKE_DIRECTORY ${forest}/${folder})
            foreach(entry IN LISTS entries)
                if(NOT IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/${entry})
                    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder}/${entry} ${forest}/${folder}/${entry} SYMBOLIC)
                endif()
            endforeach()
        else()
            get_filename_component(parent ${forest}/${part} DIRECTORY)
            file(MAKE_DIRECTORY ${parent})
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${part} ${forest}/${part} SYMBOLIC)
        endif()
    endforeach()
    target_include_directories(${target} PRIVATE ${forest})
endfunction()
