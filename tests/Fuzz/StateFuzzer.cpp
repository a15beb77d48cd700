// Feeds arbitrary bytes to the plug-in's state restore, as a damaged or foreign project file
// could hand them over: nothing may crash, read out of bounds or leave a parameter out of range.

#include "PluginProcessor.h"
#include "FuzzSupport.h"

namespace
{
    ThornvaleAudioProcessor* processor = nullptr;
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // A home of its own: the plug-in keeps settings and presets there.
    char pattern[] = "/tmp/thornvale-fuzz-XXXXXX";
    if (const char* home = mkdtemp (pattern))
        setenv ("HOME", home, 1);

    static auto* juce = new juce::ScopedJuceInitialiser_GUI();   // never destroyed
    juce::ignoreUnused (juce);
    silenceJuceLogging();
    processor = new ThornvaleAudioProcessor();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    processor->setStateInformation (data, (int) size);

    for (auto* p : processor->getParameterState().getParameters())
        if (p->get() < 0 || p->get() > p->getMaxValue())
            __builtin_trap();

    if (processor->getCurrentProgram() < 0)
        __builtin_trap();

    return 0;
}
