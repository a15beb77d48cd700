#pragma once

#include "SimulatedAudioIODevice.h"

/** The simulated stand-in for the platform's audio device type: it lists one device per
    connected simulated pedal, by the pedal's name ("TVL-1A2B"), and creates that pedal's 2-in/
    2-out audio device on request.

    Each pedal carries the options of its device (clock offset, jitter, converter latency,
    pacing) and the parameters of its sound, which the pedal's control side sets.
*/
class SimulatedAudioIODeviceType : public juce::AudioIODeviceType
{
public:
    static constexpr const char* typeName = "Thornvale Simulator";

    SimulatedAudioIODeviceType();
    ~SimulatedAudioIODeviceType() override;

    /** Connects a simulated pedal (or changes its device options); returns its sound parameters. */
    std::shared_ptr<FuzzModel::Parameters> addPedal (const juce::String& name,
                                                     const SimulatedAudioIODevice::Options& options = {},
                                                     std::shared_ptr<FuzzModel::Parameters> parameters = nullptr);
    void removePedal (const juce::String& name);
    std::shared_ptr<FuzzModel::Parameters> getPedalParameters (const juce::String& name) const;

    //==============================================================================
    void scanForDevices() override;
    juce::StringArray getDeviceNames (bool wantInputNames = false) const override;
    int getDefaultDeviceIndex (bool forInput) const override;
    int getIndexOfDevice (juce::AudioIODevice* device, bool asInput) const override;
    bool hasSeparateInputsAndOutputs() const override   { return false; }
    juce::AudioIODevice* createDevice (const juce::String& outputDeviceName,
                                       const juce::String& inputDeviceName) override;

private:
    struct Pedal
    {
        juce::String name;
        SimulatedAudioIODevice::Options options;
        std::shared_ptr<FuzzModel::Parameters> parameters;
    };

    const Pedal* findPedal (const juce::String& name) const;

    std::vector<Pedal> pedals;
    juce::StringArray scannedNames;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SimulatedAudioIODeviceType)
};
