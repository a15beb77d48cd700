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
