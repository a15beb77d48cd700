#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

/** Several audio device types seen as one: lists all their devices and creates a device with
    the first type that has it. */
class CombinedAudioIODeviceType : public juce::AudioIODeviceType
{
public:
    explicit CombinedAudioIODeviceType (std::vector<std::unique_ptr<juce::AudioIODeviceType>> typesToUse);
    ~CombinedAudioIODeviceType() override;

    void scanForDevices() override;
    juce::StringArray getDeviceNames (bool wantInputNames = false) const override;
    int getDefaultDeviceIndex (bool forInput) const override;
    int getIndexOfDevice (juce::AudioIODevice* device, bool asInput) const override;
    bool hasSeparateInputsAndOutputs() const override   { return false; }
    juce::AudioIODevice* createDevice (const juce::String& outputDeviceName, const juce::String& inputDeviceName) override;

private:
    std::vector<std::unique_ptr<juce::AudioIODeviceType>> types;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CombinedAudioIODeviceType)
};
