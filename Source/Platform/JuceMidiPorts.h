#pragma once

#include "MidiPorts.h"

/** The real backend: JUCE's MIDI ports (CoreMIDI on macOS, ALSA on Linux) and the platform's
    audio device type (CoreAudio on macOS, ALSA on Linux). */
class JuceMidiPorts : public MidiPorts
{
public:
    juce::Array<juce::MidiDeviceInfo> getInputs() override;
    juce::Array<juce::MidiDeviceInfo> getOutputs() override;
    std::unique_ptr<MidiInputPort> openInput (const juce::String& identifier, juce::MidiInputCallback* callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (const juce::String& identifier) override;
    std::unique_ptr<juce::AudioIODeviceType> createAudioDeviceType() override;
    bool ownsIdentifier (const juce::String& identifier) const override;
};
