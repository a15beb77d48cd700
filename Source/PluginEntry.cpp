#include "PluginProcessor.h"

// The plug-in wrappers' factory function: one processor per plug-in instance.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new ThornvaleAudioProcessor();
}
