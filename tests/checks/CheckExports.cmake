# Keeps private helpers out of the library's exported symbols.
#
#   cmake -DLIBRARY=<shared library> -P CheckExports.cmake
#
# Fails when a dynamic symbol defined by the library names the namespace Internal or Detail
# (the library is built with hidden visibility; only QUORLIX_API declarations are exported).
cmake_minimum_required(VERSION 3.25)

find_program(NM nm REQUIRED)
execute_process(COMMAND "${NM}" -D -C --defined-only "${LIBRARY}"
    OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "CheckExports: nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]*(Internal|Detail)::[^\n]*" private "${symbols}")
string(REGEX MATCHALL "\n" lines "${symbols}")
list(LENGTH lines count)
list(LENGTH private leaked)
if(leaked GREATER 0)
    list(JOIN private "\n" text)
    message("${text}")
    message(FATAL_ERROR "CheckExports: ${leaked} private symbols exported")
endif()
message("CheckExports: ${count} symbols exported, none private")
