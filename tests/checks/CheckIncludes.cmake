# Keeps operating-system and window-system headers inside the platform layer, and keeps the
# modules depending downward only.
#
#   cmake -DROOT=<folder holding quorlix/> -DEDGES=<README.md> -P CheckIncludes.cmake
#
# The module edges are read from the "Module edges" block of the README (lines "name -> lower
# lower ..."); a module may include itself and, transitively, the modules below it. Files
# directly in quorlix/ (the umbrella header) may include every module; a module missing from
# the block is reported.
#
# Every file under quorlix/ may include only the standard C and C++ headers below and the
# library's own headers ("quorlix/..."); sources (not headers) may also include the portable
# libraries the library links privately (zlib). The sources of quorlix/platform/ are exempt; its
# public headers are not, since whatever they include reaches the rest of the library.
cmake_minimum_required(VERSION 3.25)

get_filename_component(ROOT "${ROOT}" ABSOLUTE)

if(NOT ROOT OR NOT IS_DIRECTORY "${ROOT}/quorlix")
    message(FATAL_ERROR "CheckIncludes: ROOT must name the folder that holds quorlix/")
endif()
if(NOT EDGES OR NOT EXISTS "${EDGES}")
    message(FATAL_ERROR "CheckIncludes: EDGES must name the file with the module edges")
endif()

# The edges: "  name -> lower lower" lines between "Module edges" and the next blank line.
file(STRINGS "${EDGES}" edge_lines)
set(in_block FALSE)
set(modules "")
foreach(line IN LISTS edge_lines)
    if(line MATCHES "Module edges")
        set(in_block TRUE)
    elseif(in_block AND line MATCHES "^[ \t]*([a-z0-9_/]+)[ \t]*->[ \t]*(.*)$")
        set(name "${CMAKE_MATCH_1}")
        string(REGEX REPLACE "[ \t]+" ";" lower "${CMAKE_MATCH_2}")
        list(FILTER lower EXCLUDE REGEX "^$")
        list(APPEND modules "${name}")
        set("below_${name}" "${lower}")
    elseif(in_block AND modules AND NOT line MATCHES "^[ \t]*(```)?[ \t]*$")
        break()
    endif()
endforeach()
if(NOT modules)
    message(FATAL_ERROR "CheckIncludes: no \"Module edges\" block in ${EDGES}")
endif()
# Transitive closure; a module may always include itself.
foreach(name IN LISTS modules)
    set(reach "${name}")
    set(queue ${below_${name}})
    while(queue)
        list(POP_FRONT queue next)
        if(NOT next IN_LIST reach)
            list(APPEND reach "${next}")
            list(APPEND queue ${below_${next}})
        endif()
    endwhile()
    set("reach_${name}" "${reach}")
endforeach()

set(standard_headers
    # C++ library
    algorithm any array atomic barrier bit bitset charconv chrono compare complex concepts
    condition_variable coroutine deque exception execution filesystem format forward_list
    fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator
    latch limits list locale map memory memory_resource mutex new numbers numeric optional
    ostream queue random ranges ratio regex scoped_allocator semaphore set shared_mutex
    source_location span sstream stack stdexcept stop_token streambuf string string_view
    syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map
    unordered_set utility valarray variant vector version
    # C library through C++ (csignal is left out: signal handling is the platform layer's)
    cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp cstdarg cstddef
    cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
    # C library (signal.h is left out for the same reason)
    assert.h ctype.h errno.h fenv.h float.h inttypes.h limits.h locale.h math.h setjmp.h
    stdarg.h stdbool.h stddef.h stdint.h stdio.h stdlib.h string.h time.h uchar.h wchar.h
    wctype.h)

# Portable third-party libraries linked privately: allowed in sources, never in public headers.
set(private_library_headers zlib.h png.h openjpeg.h ft2build.h freetype/freetype.h
    freetype/ftsynth.h fontconfig/fontconfig.h)

file(GLOB_RECURSE files RELATIVE "${ROOT}" "${ROOT}/quorlix/*")
list(SORT files)
set(problems 0)
set(offenders "")
foreach(file IN LISTS files)
    if(NOT file MATCHES "\\.(h|hh|hpp|inl|c|cc|cpp|cxx)$")
        continue()
    endif()
    # The sources of the platform layer may include system headers; the module edges hold
    # for them too.
    set(system_allowed FALSE)
    if(file MATCHES "^quorlix/platform/" AND NOT file MATCHES "\\.(h|hh|hpp|inl)$")
        set(system_allowed TRUE)
    endif()
    file(STRINGS "${ROOT}/${file}" lines)
    set(number 0)
    foreach(line IN LISTS lines)
        math(EXPR number "${number} + 1")
        set(target "")
        if(line MATCHES "^[ \t]*#[ \t]*include(_next)?[ \t]*([<\"][^>\"]*[>\"])")
            set(target "${CMAKE_MATCH_2}")
        elseif(line MATCHES "__has_include[ \t]*\\([ \t]*([<\"][^>\"]*[>\"])")
            set(target "${CMAKE_MATCH_1}")
        elseif(line MATCHES "^[ \t]*#[ \t]*include")
            set(target "(computed include)")
        else()
            continue()
        endif()
        string(REGEX REPLACE "^[<\"](.*)[>\"]$" "\\1" name "${target}")
        if(name MATCHES "^quorlix/" AND EXISTS "${ROOT}/${name}")
            set(from "")
            set(to "")
            if(file MATCHES "^quorlix/([^/]+)/")
                set(from "${CMAKE_MATCH_1}")
            endif()
            if(name MATCHES "^quorlix/([^/]+)/")
                set(to "${CMAKE_MATCH_1}")
            endif()
            if(from STREQUAL "" OR from STREQUAL to)
                continue()
            endif()
            if(NOT from IN_LIST modules)
                message("${file}:${number}: module ${from} is missing from the module edges")
            elseif(to IN_LIST reach_${from})
                continue()
            else()
                message("${file}:${number}: ${target}: module ${from} may not include module "
                        "${to} (edges: ${from} -> ${below_${from}})")
            endif()
            math(EXPR problems "${problems} + 1")
            list(APPEND offenders "${file}")
            continue()
        endif()
        if(system_allowed OR (target MATCHES "^<" AND name IN_LIST standard_headers))
            continue()
        endif()
        if(target MATCHES "^<" AND name IN_LIST private_library_headers
           AND NOT file MATCHES "\\.(h|hh|hpp|inl)$")
            continue()
        endif()
        message("${file}:${number}: ${target} is not an allowed header (standard C or C++, "
                "or quorlix/...); system headers belong in the sources of quorlix/platform/")
        math(EXPR problems "${problems} + 1")
        list(APPEND offenders "${file}")
    endforeach()
endforeach()

list(REMOVE_DUPLICATES offenders)
list(LENGTH offenders offender_count)
list(LENGTH files file_count)
if(problems GREATER 0)
    message(FATAL_ERROR "CheckIncludes: ${problems} forbidden includes in ${offender_count} files")
endif()
message("CheckIncludes: ${file_count} files under quorlix/, no forbidden include")
