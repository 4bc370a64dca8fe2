# Warning set shared by every target of the tree. QUORLIX_WERROR (on in CI) makes them errors.
function(quorlix_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
        -Wnon-virtual-dtor -Wcast-align -Wno-unused-parameter)
    if(QUORLIX_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
