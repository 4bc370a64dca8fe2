# Installs the build tree into a private prefix and builds a consumer against it twice: with
# find_package (CMake, Ninja) and with the flags pkg-config gives. Both programs must run
# against the installed library, not the one in the build tree.
#
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DCONSUMER_DIR=... -DLIBDIR=lib -DCXX=c++
#         -DVERSION=x.y.z -P RunConsumer.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR WORK_DIR CONSUMER_DIR LIBDIR CXX VERSION)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "RunConsumer: ${var} is not set")
    endif()
endforeach()

# Runs a command, echoing it; stops with its output when it fails.
function(run_step what)
    string(REPLACE ";" " " command "${ARGN}")
    message("-- ${what}: ${command}")
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out
        ERROR_VARIABLE out)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} failed (${result}):\n${out}")
    endif()
    set(step_output "${out}" PARENT_SCOPE)
endfunction()

# The consumer prints the hash of "scenes/castle.kss" (the published lookup2 value with
# initial value 0) and the path of the library it loaded.
function(check_consumer_output what output)
    if(NOT output MATCHES "consumer: scenes/castle.kss hash B7F5748B")
        message(FATAL_ERROR "${what}: unexpected output:\n${output}")
    endif()
    if(NOT output MATCHES "consumer: library ([^\n]*)")
        message(FATAL_ERROR "${what}: no library path in:\n${output}")
    endif()
    string(FIND "${CMAKE_MATCH_1}" "${prefix_real}/" at)
    if(NOT at EQUAL 0)
        message(FATAL_ERROR "${what} ran against ${CMAKE_MATCH_1}, not the installed library "
                            "under ${prefix_real}")
    endif()
    message("-- ${what}: ${output}")
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
set(libdir "${prefix}/${LIBDIR}")

run_step("install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
file(REAL_PATH "${prefix}" prefix_real)
foreach(file include/quorlix/Quorlix.h include/quorlix/core/String.h
        "${LIBDIR}/libQuorlix010219.so" "${LIBDIR}/cmake/Quorlix/QuorlixConfig.cmake"
        "${LIBDIR}/cmake/Quorlix/QuorlixConfigVersion.cmake" "${LIBDIR}/pkgconfig/quorlix.pc")
    if(NOT EXISTS "${prefix}/${file}")
        message(FATAL_ERROR "install: ${file} is missing from the installed tree")
    endif()
endforeach()
file(GLOB_RECURSE private_headers "${prefix}/include/*/internal/*")
if(private_headers)
    message(FATAL_ERROR "install: private headers were installed: ${private_headers}")
endif()

# CMake package. Only the private prefix is searched, so a copy installed elsewhere on the
# machine cannot stand in for this one.
set(cmake_build "${WORK_DIR}/cmake-consumer")
run_step("configure consumer" "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${cmake_build}"
    -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_COMPILER=${CXX}"
    "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF)
string(FIND "${step_output}" "Quorlix ${VERSION} found in ${prefix}/" at)
if(at LESS 0)
    message(FATAL_ERROR "configure consumer: the package was not taken from ${prefix}:\n"
                        "${step_output}")
endif()
run_step("build consumer" "${CMAKE_COMMAND}" --build "${cmake_build}")
run_step("run consumer" "${CMAKE_COMMAND}" -E env "LD_LIBRARY_PATH=${libdir}"
    "${cmake_build}/consumer")
check_consumer_output("find_package consumer" "${step_output}")

# pkg-config
set(pc_env "${CMAKE_COMMAND}" -E env "PKG_CONFIG_PATH=${libdir}/pkgconfig")
run_step("pkg-config version" ${pc_env} pkg-config --modversion quorlix)
string(STRIP "${step_output}" pc_version)
if(NOT pc_version STREQUAL VERSION)
    message(FATAL_ERROR "pkg-config reports version ${pc_version}, expected ${VERSION}")
endif()
run_step("pkg-config flags" ${pc_env} pkg-config --cflags --libs quorlix)
string(STRIP "${step_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
set(pc_program "${WORK_DIR}/pkgconfig-consumer")
run_step("compile with pkg-config flags" "${CXX}" "${CONSUMER_DIR}/main.cpp" -o "${pc_program}"
    ${pc_flags})
run_step("run pkg-config consumer" "${CMAKE_COMMAND}" -E env "LD_LIBRARY_PATH=${libdir}"
    "${pc_program}")
check_consumer_output("pkg-config consumer" "${step_output}")
