# THORNVALE_SANITIZE applies to every target, JUCE included, so that the whole process is
# instrumented (ThreadSanitizer needs that to see JUCE's own synchronisation).
if(THORNVALE_SANITIZE)
    set(_thornvale_san_flags -fsanitize=${THORNVALE_SANITIZE} -fno-omit-frame-pointer)
    if(THORNVALE_SANITIZE STREQUAL "undefined")
        list(APPEND _thornvale_san_flags -fno-sanitize-recover=undefined)
    endif()
    add_compile_options(${_thornvale_san_flags})
    add_link_options(-fsanitize=${THORNVALE_SANITIZE})

endif()

# Warnings for our own code only: JUCE's sources are built without them.
function(thornvale_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# The plug-in modules of a sanitizer build take the sanitizer runtime from the program that loads
# them (the tests); the wrappers' --no-undefined would refuse that, so it is undone after it.
function(thornvale_allow_sanitizer_runtime_from_host)
    if(THORNVALE_SANITIZE)
        foreach(target IN LISTS ARGN)
            if(TARGET ${target})
                target_link_options(${target} PRIVATE -Wl,-z,undefs)
            endif()
        endforeach()
    endif()
endfunction()
