#pragma once

#include "MidiPorts.h"

class SimulatedPedals;

/** The process-wide way to the pedals' MIDI ports and audio devices: the real ports and the
    simulated pedals together. Real ports are always listed (tests may switch them off for
    determinism); simulated pedals exist only when a test creates them or the plug-in settings
    name them ("simulatedPedals"). Message thread. */
class Platform : public MidiPorts
{
public:
    static constexpr const char* simulatedPrefix = "sim:";

    static Platform& getInstance();

    SimulatedPedals& getSimulatedPedals() noexcept   { return *simulated; }
    void setRealPortsEnabled (bool enabled) noexcept  { realEnabled = enabled; }
    bool areRealPortsEnabled() const noexcept         { return realEnabled; }

    juce::Array<juce::MidiDeviceInfo> getInputs() override;
    juce::Array<juce::MidiDeviceInfo> getOutputs() override;
    std::unique_ptr<MidiInputPort> openInput (const juce::String& identifier, juce::MidiInputCallback* callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (const juce::String& identifier) override;
    /** One device type listing the real devices and the simulated pedals' devices. */
    std::unique_ptr<juce::AudioIODeviceType> createAudioDeviceType() override;
    bool ownsIdentifier (const juce::String&) const override   { return true; }

private:
    Platform();
    ~Platform() override;
    MidiPorts& backendFor (const juce::String& identifier);

    std::unique_ptr<MidiPorts> real;
    std::unique_ptr<SimulatedPedals> simulated;
    bool realEnabled = true;

    JUCE_DECLARE_NON_COPYABLE (Platform)
};
