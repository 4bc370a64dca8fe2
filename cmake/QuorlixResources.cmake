# Resources: named byte blobs compiled into a module, found at run time by StreamPipeResource
# through the module's exported QuorlixResourceTable function.
#
#   quorlix_add_resources(<target> <NAME> <file> [<NAME> <file>]...)
#
# Each file (relative to the current source folder) becomes the resource NAME of <target>; names
# are letters, digits, '_' and '-', at most 260 characters, and are looked up ignoring case. A
# target takes one call. Executables get their symbols exported so the table can be found.

set(_quorlix_resources_generator "${CMAKE_CURRENT_LIST_DIR}/QuorlixResourcesGenerate.cmake")

function(quorlix_add_resources target)
    get_target_property(done ${target} QUORLIX_RESOURCES)
    if(done)
        message(FATAL_ERROR "quorlix_add_resources: ${target} already has its resources")
    endif()
    list(LENGTH ARGN count)
    math(EXPR odd "${count} % 2")
    if(count EQUAL 0 OR odd)
        message(FATAL_ERROR "quorlix_add_resources: give NAME file pairs")
    endif()
    set(names "")
    set(files "")
    set(args ${ARGN})
    while(args)
        list(POP_FRONT args name file)
        string(LENGTH "${name}" length)
        if(NOT name MATCHES "^[A-Za-z0-9_-]+$" OR length GREATER 260)
            message(FATAL_ERROR "quorlix_add_resources: bad resource name \"${name}\"")
        endif()
        string(TOUPPER "${name}" upper)
        if(upper IN_LIST names)
            message(FATAL_ERROR "quorlix_add_resources: resource ${name} given twice")
        endif()
        get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND names "${upper}")
        list(APPEND files "${file}")
    endwhile()
    set_target_properties(${target} PROPERTIES QUORLIX_RESOURCES ON)

    set(manifest "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cmake")
    set(output "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp")
    file(WRITE "${manifest}" "set(NAMES \"${names}\")\nset(FILES \"${files}\")\n")
    add_custom_command(OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest} -DOUTPUT=${output}
            -P ${_quorlix_resources_generator}
        DEPENDS ${files} "${manifest}" ${_quorlix_resources_generator}
        COMMENT "Embedding resources of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE "${output}")
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
    endif()
endfunction()
