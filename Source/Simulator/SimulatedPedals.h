#pragma once

#include "Platform/MidiPorts.h"
#include "SimulatedPedal.h"

/** The simulated backend of the platform layer: every simulated pedal of the process, presented
    as a MIDI input, a MIDI output and an audio device that all carry its name. Pedals live until
    removed (or the process ends), so their state survives unplugging and replugging.
    Message thread, except what the pedals' own MIDI threads do. */
class SimulatedPedals : public MidiPorts
{
public:
    SimulatedPedals();
    ~SimulatedPedals() override;

    /** The pedal of that name, created with the given options when it does not exist yet. */
    SimulatedPedal& addPedal (const juce::String& name, const SimulatedPedal::Options& options = {});
    SimulatedPedal* findPedal (const juce::String& name) const;
    void removePedal (const juce::String& name);
    void removeAllPedals();
    int getNumPedals() const   { return pedals.size(); }

    //==============================================================================
    juce::Array<juce::MidiDeviceInfo> getInputs() override;
    juce::Array<juce::MidiDeviceInfo> getOutputs() override;
    std::unique_ptr<MidiInputPort> openInput (const juce::String& identifier, juce::MidiInputCallback* callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (const juce::String& identifier) override;
    std::unique_ptr<juce::AudioIODeviceType> createAudioDeviceType() override;
    bool ownsIdentifier (const juce::String& identifier) const override;

private:
    SimulatedPedal* findByIdentifier (const juce::String& identifier) const;
    juce::Array<juce::MidiDeviceInfo> listPorts (bool inputs) const;

    juce::OwnedArray<SimulatedPedal> pedals;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SimulatedPedals)
};
