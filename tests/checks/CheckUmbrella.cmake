# Keeps the umbrella header complete.
#
#   cmake -DROOT=<folder holding quorlix/> -P CheckUmbrella.cmake
#
# quorlix/Quorlix.h must include every public header, that is every header under quorlix/
# outside an internal/ folder, the platform layer and script/Korvel.h (which generated bindings
# include themselves), and nothing that does not exist, is private or belongs to the platform.
cmake_minimum_required(VERSION 3.25)

get_filename_component(ROOT "${ROOT}" ABSOLUTE)

set(umbrella "${ROOT}/quorlix/Quorlix.h")
if(NOT ROOT OR NOT EXISTS "${umbrella}")
    message(FATAL_ERROR "CheckUmbrella: ROOT must name the folder that holds quorlix/Quorlix.h")
endif()

file(GLOB_RECURSE headers RELATIVE "${ROOT}" "${ROOT}/quorlix/*.h")
list(FILTER headers EXCLUDE REGEX "(^|/)internal/|^quorlix/platform/|^quorlix/script/Korvel\\.h$")
list(REMOVE_ITEM headers "quorlix/Quorlix.h")
list(SORT headers)

file(STRINGS "${umbrella}" lines REGEX "^[ \t]*#[ \t]*include")
set(included "")
foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"]")
        list(APPEND included "${CMAKE_MATCH_1}")
    endif()
endforeach()

set(problems 0)
foreach(header IN LISTS headers)
    if(NOT header IN_LIST included)
        message("quorlix/Quorlix.h: missing #include \"${header}\"")
        math(EXPR problems "${problems} + 1")
    endif()
endforeach()
foreach(name IN LISTS included)
    if(NOT EXISTS "${ROOT}/${name}")
        message("quorlix/Quorlix.h: includes \"${name}\", which does not exist")
        math(EXPR problems "${problems} + 1")
    elseif(name MATCHES "(^|/)internal/|^quorlix/platform/")
        message("quorlix/Quorlix.h: includes the private header \"${name}\"")
        math(EXPR problems "${problems} + 1")
    endif()
endforeach()

list(LENGTH headers count)
if(problems GREATER 0)
    message(FATAL_ERROR "CheckUmbrella: ${problems} problems")
endif()
message("CheckUmbrella: all ${count} public headers included")
