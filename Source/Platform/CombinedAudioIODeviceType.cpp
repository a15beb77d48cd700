#include "CombinedAudioIODeviceType.h"

CombinedAudioIODeviceType::CombinedAudioIODeviceType (std::vector<std::unique_ptr<juce::AudioIODeviceType>> typesToUse)
    : juce::AudioIODeviceType ("Thornvale"), types (std::move (typesToUse))
{
}

CombinedAudioIODeviceType::~CombinedAudioIODeviceType() = default;

void CombinedAudioIODeviceType::scanForDevices()
{
    for (auto& t : types)
        t->scanForDevices();
}

juce::StringArray CombinedAudioIODeviceType::getDeviceNames (bool wantInputNames) const
{
    juce::StringArray names;

    for (auto& t : types)
        names.addArray (t->getDeviceNames (wantInputNames));

    return names;
}

int CombinedAudioIODeviceType::getDefaultDeviceIndex (bool) const
{
    return 0;
}

int CombinedAudioIODeviceType::getIndexOfDevice (juce::AudioIODevice* device, bool asInput) const
{
    return device != nullptr ? getDeviceNames (asInput).indexOf (device->getName()) : -1;
}

juce::AudioIODevice* CombinedAudioIODeviceType::createDevice (const juce::String& outputDeviceName, const juce::String& inputDeviceName)
{
    for (auto& t : types)
        if (t->getDeviceNames (false).contains (outputDeviceName) || t->getDeviceNames (true).contains (inputDeviceName))
            return t->createDevice (outputDeviceName, inputDeviceName);

    return nullptr;
}
