#include "PluginEditor.h"
#include "PluginProcessor.h"

ThornvaleAudioProcessorEditor::ThornvaleAudioProcessorEditor (ThornvaleAudioProcessor& p, AudioValueTreeState& parameters)
    : juce::AudioProcessorEditor (p), processor (p), parameterState (parameters)
{
    setSize (420, 640);
}

ThornvaleAudioProcessorEditor::~ThornvaleAudioProcessorEditor() = default;

void ThornvaleAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff1d1b1a));
    g.setColour (juce::Colours::white);
    g.setFont (28.0f);
    g.drawText (processor.getName(), getLocalBounds().removeFromTop (80), juce::Justification::centred);
    g.setFont (15.0f);
    g.drawText (processor.getPresetName(), getLocalBounds().removeFromTop (120).removeFromBottom (40),
                juce::Justification::centred);
    juce::ignoreUnused (parameterState);
}
