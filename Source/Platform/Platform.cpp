#include "Platform.h"
#include "JuceMidiPorts.h"
#include "CombinedAudioIODeviceType.h"
#include "Simulator/SimulatedPedals.h"

Platform& Platform::getInstance()
{
    static Platform instance;
    return instance;
}

Platform::Platform()
    : real (std::make_unique<JuceMidiPorts>()),
      simulated (std::make_unique<SimulatedPedals>())
{
}

Platform::~Platform() = default;

juce::Array<juce::MidiDeviceInfo> Platform::getInputs()
{
    auto result = realEnabled ? real->getInputs() : juce::Array<juce::MidiDeviceInfo>();
    result.addArray (simulated->getInputs());
    return result;
}

juce::Array<juce::MidiDeviceInfo> Platform::getOutputs()
{
    auto result = realEnabled ? real->getOutputs() : juce::Array<juce::MidiDeviceInfo>();
    result.addArray (simulated->getOutputs());
    return result;
}

MidiPorts& Platform::backendFor (const juce::String& identifier)
{
    return simulated->ownsIdentifier (identifier) ? static_cast<MidiPorts&> (*simulated) : *real;
}

std::unique_ptr<MidiInputPort> Platform::openInput (const juce::String& identifier, juce::MidiInputCallback* callback)
{
    return backendFor (identifier).openInput (identifier, callback);
}

std::unique_ptr<MidiOutputPort> Platform::openOutput (const juce::String& identifier)
{
    return backendFor (identifier).openOutput (identifier);
}

std::unique_ptr<juce::AudioIODeviceType> Platform::createAudioDeviceType()
{
    std::vector<std::unique_ptr<juce::AudioIODeviceType>> types;
    types.push_back (simulated->createAudioDeviceType());

    if (realEnabled)
        if (auto type = real->createAudioDeviceType())
            types.push_back (std::move (type));

    return std::make_unique<CombinedAudioIODeviceType> (std::move (types));
}
