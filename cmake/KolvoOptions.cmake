# One place for the compiler options every target of the project shares.
add_library(kolvo_options INTERFACE)
target_compile_features(kolvo_options INTERFACE cxx_std_20)
target_compile_options(kolvo_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Woverloaded-virtual)
if(KOLVO_WERROR)
    target_compile_options(kolvo_options INTERFACE -Werror)
endif()
if(KOLVO_SANITIZE)
    target_compile_options(kolvo_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(kolvo_options INTERFACE -fsanitize=address,undefined)
endif()
