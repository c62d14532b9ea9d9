# embed_resources(<target> [MODULE <name>] ENTRIES <type> <id> <value> ...)
#
# Builds resources into <target>, found at run time through platform/display/Resources.h.
# Each entry is a triple: type STRING takes the text itself as value (stored as UTF-8); any
# other type (PNG, ...) takes a file, relative to the calling folder. Without MODULE the module
# is named after the target and, for an executable, is the running program's own
# (platform::moduleHandle()); with MODULE it is found by that name only.
set(EMBED_RESOURCES_GENERATOR ${CMAKE_CURRENT_LIST_DIR}/GenerateResources.cmake CACHE INTERNAL "")

function(embed_resources target)
    # The argument form keeps empty texts.
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "MODULE" "ENTRIES")
    get_target_property(target_type ${target} TYPE)
    set(is_program false)
    set(module_name ${ARG_MODULE})
    if(NOT module_name)
        set(module_name ${target})
        if(target_type STREQUAL "EXECUTABLE")
            set(is_program true)
        endif()
    endif()

    list(LENGTH ARG_ENTRIES count)
    math(EXPR remainder "${count} % 3")
    if(count EQUAL 0 OR NOT remainder EQUAL 0)
        message(FATAL_ERROR "embed_resources(${target}): ENTRIES takes triples <type> <id> <value>")
    endif()

    set(manifest "set(MODULE_NAME [==[${module_name}]==])\nset(IS_PROGRAM ${is_program})\nset(ENTRY_COUNT 0)\n")
    set(depends ${EMBED_RESOURCES_GENERATOR})
    math(EXPR last "${count} - 1")
    foreach(index RANGE 0 ${last} 3)
        math(EXPR id_index "${index} + 1")
        math(EXPR value_index "${index} + 2")
        list(GET ARG_ENTRIES ${index} type)
        list(GET ARG_ENTRIES ${id_index} id)
        list(GET ARG_ENTRIES ${value_index} value)
        if(NOT type MATCHES "^[A-Za-z0-9_]+$" OR NOT id MATCHES "^[0-9]+$")
            message(FATAL_ERROR "embed_resources(${target}): bad type or id '${type}' '${id}'")
        endif()
        if(type STREQUAL "STRING")
            string(APPEND manifest "list(APPEND ENTRIES ${type} ${id})\nset(TEXT_${id} [==[${value}]==])\n")
        else()
            get_filename_component(file "${value}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
            if(NOT EXISTS "${file}")
                message(FATAL_ERROR "embed_resources(${target}): no file ${file}")
            endif()
            string(APPEND manifest "list(APPEND ENTRIES ${type} ${id})\nset(FILE_${type}_${id} [==[${file}]==])\n")
            list(APPEND depends "${file}")
        endif()
    endforeach()

    set(base ${CMAKE_CURRENT_BINARY_DIR}/${target}_${module_name}_resources)
    file(CONFIGURE OUTPUT ${base}.cmake CONTENT "${manifest}" @ONLY)
    add_custom_command(
        OUTPUT ${base}.cpp
        COMMAND ${CMAKE_COMMAND} -DMANIFEST=${base}.cmake -DOUTPUT=${base}.cpp -P ${EMBED_RESOURCES_GENERATOR}
        DEPENDS ${base}.cmake ${depends}
        COMMENT "Embedding resources of ${module_name}"
        VERBATIM)
    target_sources(${target} PRIVATE ${base}.cpp)
    target_link_libraries(${target} PRIVATE platform_display)
endfunction()
