#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** Loads a plug-in the way a host does, through JUCE's own VST3 and LV2 hosting, and tells
    what a host sees of it. */
namespace PluginProbe
{
    enum class Format { vst3, lv2 };

    /** Creates an instance of the plug-in in a VST3 bundle (a path) or an LV2 bundle (a path to
        the ".lv2" folder). On failure returns nullptr and fills error. */
    std::unique_ptr<juce::AudioPluginInstance> load (Format format, const juce::File& bundle,
                                                    double sampleRate, int blockSize, juce::String& error);

    /** A human-readable report: name, buses, MIDI, latency, programs and the host parameters. */
    juce::String describe (juce::AudioPluginInstance& instance);

    /** Prepares the instance and runs a few blocks of a sine through it; returns the output's
        peak level (so a report can show that audio passes). */
    float runAudio (juce::AudioPluginInstance& instance, double sampleRate, int blockSize, int numBlocks);
}
