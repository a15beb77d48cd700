# Use ccache when it is installed. The settings make a fresh build directory in another
# checkout hit the cache (juce_core uses __DATE__ and __TIME__).
find_program(THORNVALE_CCACHE ccache)
if(THORNVALE_CCACHE)
    set(CMAKE_C_COMPILER_LAUNCHER
        ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=true
        CCACHE_SLOPPINESS=time_macros,include_file_mtime,include_file_ctime ${THORNVALE_CCACHE})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_C_COMPILER_LAUNCHER})
endif()

# lld links our many test and tool binaries several times faster than the default linker.
find_program(THORNVALE_LLD ld.lld)
if(THORNVALE_LLD AND NOT APPLE)
    add_link_options(-fuse-ld=lld)
endif()
