#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class ThornvaleAudioProcessor;
class AudioValueTreeState;

/** The plug-in's window. It reads the processor and the parameter tree, which outlive it. */
class ThornvaleAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    ThornvaleAudioProcessorEditor (ThornvaleAudioProcessor& processor, AudioValueTreeState& parameters);
    ~ThornvaleAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;

private:
    ThornvaleAudioProcessor& processor;
    AudioValueTreeState& parameterState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ThornvaleAudioProcessorEditor)
};
