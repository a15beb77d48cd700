#include "SimulatedAudioIODeviceType.h"

SimulatedAudioIODeviceType::SimulatedAudioIODeviceType()
    : juce::AudioIODeviceType (typeName)
{
}

SimulatedAudioIODeviceType::~SimulatedAudioIODeviceType() = default;

std::shared_ptr<FuzzModel::Parameters> SimulatedAudioIODeviceType::addPedal (const juce::String& name,
                                                                             const SimulatedAudioIODevice::Options& options,
                                                                             std::shared_ptr<FuzzModel::Parameters> parameters)
{
    for (auto& pedal : pedals)
    {
        if (pedal.name == name)
        {
            pedal.options = options;

            if (parameters != nullptr)
                pedal.parameters = std::move (parameters);

            return pedal.parameters;
        }
    }

    pedals.push_back ({ name, options, parameters != nullptr ? std::move (parameters) : std::make_shared<FuzzModel::Parameters>() });
    callDeviceChangeListeners();
    return pedals.back().parameters;
}

void SimulatedAudioIODeviceType::removePedal (const juce::String& name)
{
    const auto sizeBefore = pedals.size();
    pedals.erase (std::remove_if (pedals.begin(), pedals.end(), [&] (const Pedal& p) { return p.name == name; }), pedals.end());

    if (pedals.size() != sizeBefore)
        callDeviceChangeListeners();
}

const SimulatedAudioIODeviceType::Pedal* SimulatedAudioIODeviceType::findPedal (const juce::String& name) const
{
    for (auto& pedal : pedals)
        if (pedal.name == name)
            return &pedal;

    return nullptr;
}

std::shared_ptr<FuzzModel::Parameters> SimulatedAudioIODeviceType::getPedalParameters (const juce::String& name) const
{
    const auto* pedal = findPedal (name);
    return pedal != nullptr ? pedal->parameters : nullptr;
}

void SimulatedAudioIODeviceType::scanForDevices()
{
    scannedNames.clear();

    for (auto& pedal : pedals)
        scannedNames.add (pedal.name);
}

juce::StringArray SimulatedAudioIODeviceType::getDeviceNames (bool) const
{
    return scannedNames;
}

int SimulatedAudioIODeviceType::getDefaultDeviceIndex (bool) const
{
    return scannedNames.isEmpty() ? -1 : 0;
}

int SimulatedAudioIODeviceType::getIndexOfDevice (juce::AudioIODevice* device, bool) const
{
    return device != nullptr ? scannedNames.indexOf (device->getName()) : -1;
}

juce::AudioIODevice* SimulatedAudioIODeviceType::createDevice (const juce::String& outputDeviceName,
                                                               const juce::String& inputDeviceName)
{
    const auto& name = outputDeviceName.isNotEmpty() ? outputDeviceName : inputDeviceName;
    const auto* pedal = findPedal (name);

    if (pedal == nullptr || (inputDeviceName.isNotEmpty() && inputDeviceName != name))
        return nullptr;

    return new SimulatedAudioIODevice (pedal->name, getTypeName(), pedal->options, pedal->parameters);
}
