# Warning set shared by every target of the tree.
function(quorlix_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
        -Wnon-virtual-dtor -Wcast-align -Wno-unused-parameter)
endfunction()
