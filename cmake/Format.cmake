# SPDX-License-Identifier: GPL-3.0-or-later
# `format` rewrites every C++ file of the project with the repository's .clang-format;
# `format-check` fails and names the files that deviate, without touching them.
find_program(CLANG_FORMAT clang-format)
if(NOT CLANG_FORMAT)
    message(STATUS "clang-format not found: no format targets")
    return()
endif()

set(FORMAT_PATTERNS)
foreach(dir src tests tools bench fuzz)
    list(APPEND FORMAT_PATTERNS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
endforeach()
file(GLOB_RECURSE FORMAT_FILES CONFIGURE_DEPENDS ${FORMAT_PATTERNS})
list(SORT FORMAT_FILES)

add_custom_target(format
    COMMAND ${CLANG_FORMAT} -i --style=file ${FORMAT_FILES}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMENT "clang-format: rewriting the sources"
    VERBATIM)
add_custom_target(format-check
    COMMAND ${CLANG_FORMAT} --dry-run -Werror --style=file ${FORMAT_FILES}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMENT "clang-format: checking the sources (fix with: cmake --build build --target format)"
    VERBATIM)
