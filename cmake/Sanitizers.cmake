# Sanitizer builds apply to everything built here: the library, the tools
# and the tests, so a fault is caught wherever it surfaces.
if(ORDELIN_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(ORDELIN_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT ORDELIN_SANITIZE STREQUAL "")
    message(FATAL_ERROR "ORDELIN_SANITIZE must be empty, 'address' or 'thread'")
endif()
