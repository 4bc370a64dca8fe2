# The sanitizer build: every target, the library included, is instrumented. Without
# -fno-sanitize-recover UBSan would only print and the test would still pass.
if(QUORLIX_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${_san})
    add_link_options(-fsanitize=address,undefined)
endif()
