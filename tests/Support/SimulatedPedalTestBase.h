#pragma once

#include "MessageThreadTest.h"
#include "Platform/Platform.h"
#include "Simulator/SimulatedPedals.h"
#include "Devices/PedalProtocol.h"

/** Only simulated pedals are visible (real ports off); pedals made by a test are removed after it. */
class SimulatedPedalTestBase : public MessageThreadTest
{
protected:
    void SetUp() override
    {
        Platform::getInstance().setRealPortsEnabled (false);
    }

    void TearDown() override
    {
        pedals().removeAllPedals();
        Platform::getInstance().setRealPortsEnabled (true);
    }

    static SimulatedPedals& pedals()   { return Platform::getInstance().getSimulatedPedals(); }

    static SimulatedPedal& addPedal (const juce::String& name, SimulatedPedal::Options options = {})
    {
        options.audio.pacing = SimulatedAudioIODevice::Pacing::external;   // no audio thread unless a test drives it
        return pedals().addPedal (name, options);
    }

    static std::vector<juce::uint8> bytesOf (const juce::MidiMessage& m)
    {
        return { m.getRawData(), m.getRawData() + m.getRawDataSize() };
    }

    /** A message as the pedal sends it. */
    static juce::MidiMessage fromPedal (const SimulatedPedal& pedal, int group, int value,
                                        std::vector<juce::uint8> payload = {}, int id = -1)
    {
        return PedalProtocol::buildMessage ((juce::uint8) (id < 0 ? pedal.getOptions().sysexId : id),
                                            PedalProtocol::pedalGroupByte (group, pedal.getOptions().channel),
                                            (juce::uint8) value, payload.data(), (int) payload.size());
    }
};
