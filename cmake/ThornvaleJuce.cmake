# JUCE's modules are interface libraries that would otherwise be compiled again into every target
# that links them. thornvale_juce compiles them once and re-exports their include directories and
# compile definitions, so the plug-in, the tools, the tests and the benchmarks share one build.

set(THORNVALE_JUCE_MODULES
    juce_core juce_events juce_data_structures juce_graphics juce_gui_basics juce_gui_extra
    juce_audio_basics juce_audio_devices juce_audio_formats juce_audio_processors juce_audio_utils
    juce_audio_plugin_client)

add_library(thornvale_juce STATIC)
# Hidden symbols: a plug-in must not hand its JUCE to another JUCE plug-in in the same host.
set_target_properties(thornvale_juce PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)

foreach(module IN LISTS THORNVALE_JUCE_MODULES)
    target_link_libraries(thornvale_juce PRIVATE juce::${module})
    target_include_directories(thornvale_juce SYSTEM PUBLIC
        $<TARGET_PROPERTY:juce::${module},INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_definitions(thornvale_juce PUBLIC
        $<TARGET_PROPERTY:juce::${module},INTERFACE_COMPILE_DEFINITIONS>)
endforeach()

target_compile_definitions(thornvale_juce PUBLIC
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=1
    JUCE_LOAD_CURL_SYMBOLS_LAZILY=0
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_LOG_ASSERTIONS=1
    JUCE_STRICT_REFCOUNTEDPOINTER=1
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_VST3_CAN_REPLACE_VST2=0
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    JUCE_USE_MP3AUDIOFORMAT=0
    JUCE_USE_LAME_AUDIO_FORMAT=0
    JUCE_USE_WINDOWS_MEDIA_FORMAT=0
    JUCE_PLUGINHOST_VST3=1
    JUCE_PLUGINHOST_LV2=1
    JUCE_PLUGINHOST_LADSPA=0
    JUCE_JACK=0)

if(NOT APPLE)
    # Debian's JUCE does not link the system libraries its modules were built against.
    target_link_libraries(thornvale_juce PUBLIC
        juce::pkgconfig_JUCE_CURL_LINUX_DEPS
        juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
endif()
