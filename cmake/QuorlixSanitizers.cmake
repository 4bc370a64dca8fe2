# The sanitizer builds. Without -fno-sanitize-recover UBSan would only print and the test would
# still pass.
#
# QUORLIX_SANITIZE: every target, the library included, is built with AddressSanitizer and
# UBSan (the `make asan` build).
# QUORLIX_TSAN: every target with ThreadSanitizer (the `make tsan` build, which runs the tests
# that use threads).
# QUORLIX_LIBFUZZER: the same sanitizers plus libFuzzer's coverage instrumentation on every
# target, so that the fuzzer sees the edges inside the library it drives; the fuzz targets add
# the libFuzzer runtime themselves (fuzz/CMakeLists.txt).
set(_quorlix_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
if(QUORLIX_LIBFUZZER)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QUORLIX_LIBFUZZER needs clang (CC=clang CXX=clang++)")
    endif()
    add_compile_options(${_quorlix_san} -fsanitize=fuzzer-no-link)
    add_link_options(-fsanitize=address,undefined)
elseif(QUORLIX_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(QUORLIX_SANITIZE)
    add_compile_options(${_quorlix_san})
    add_link_options(-fsanitize=address,undefined)
endif()
