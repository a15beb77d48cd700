#include "SimulatedPedals.h"
#include "SimulatedAudioIODeviceType.h"
#include "Platform/Platform.h"

namespace
{
    /** A simulated pedal's MIDI input: the pedal delivers to the callback while started. */
    struct SimulatedInput : MidiInputPort
    {
        SimulatedInput (SimulatedPedal& p, juce::MidiInputCallback* cb) : pedal (p), callback (cb)
        {
            pedal.connectInput (callback);
        }

        ~SimulatedInput() override              { pedal.disconnectInput (callback); }
        void start() override                   { pedal.setInputStarted (callback, true); }
        void stop() override                    { pedal.setInputStarted (callback, false); }

        SimulatedPedal& pedal;
        juce::MidiInputCallback* callback;
    };

    struct SimulatedOutput : MidiOutputPort
    {
        explicit SimulatedOutput (SimulatedPedal& p) : pedal (p) {}
        void sendMessageNow (const juce::MidiMessage& m) override   { pedal.receive (m); }
        void clearAllPendingMessages() override {}

        SimulatedPedal& pedal;
    };
}

SimulatedPedals::SimulatedPedals() = default;
SimulatedPedals::~SimulatedPedals() = default;

SimulatedPedal& SimulatedPedals::addPedal (const juce::String& name, const SimulatedPedal::Options& options)
{
    if (auto* existing = findPedal (name))
        return *existing;

    return *pedals.add (new SimulatedPedal (name, options));
}

SimulatedPedal* SimulatedPedals::findPedal (const juce::String& name) const
{
    for (auto* p : pedals)
        if (p->getName() == name)
            return p;

    return nullptr;
}

void SimulatedPedals::removePedal (const juce::String& name)
{
    if (auto* p = findPedal (name))
        pedals.removeObject (p);
}

void SimulatedPedals::removeAllPedals()
{
    pedals.clear();
}

juce::Array<juce::MidiDeviceInfo> SimulatedPedals::listPorts (bool inputs) const
{
    juce::Array<juce::MidiDeviceInfo> result;

    for (auto* p : pedals)
        if (p->isMidiPresent())
            result.add (inputs ? juce::MidiDeviceInfo (p->getInputPortName(), p->getInputIdentifier())
                               : juce::MidiDeviceInfo (p->getOutputPortName(), p->getOutputIdentifier()));

    return result;
}

juce::Array<juce::MidiDeviceInfo> SimulatedPedals::getInputs()    { return listPorts (true); }
juce::Array<juce::MidiDeviceInfo> SimulatedPedals::getOutputs()   { return listPorts (false); }

SimulatedPedal* SimulatedPedals::findByIdentifier (const juce::String& identifier) const
{
    for (auto* p : pedals)
        if (p->isMidiPresent() && (p->getInputIdentifier() == identifier || p->getOutputIdentifier() == identifier))
            return p;

    return nullptr;
}

std::unique_ptr<MidiInputPort> SimulatedPedals::openInput (const juce::String& identifier, juce::MidiInputCallback* callback)
{
    auto* p = findByIdentifier (identifier);

    if (p == nullptr || p->getInputIdentifier() != identifier)
        return nullptr;

    return std::make_unique<SimulatedInput> (*p, callback);
}

std::unique_ptr<MidiOutputPort> SimulatedPedals::openOutput (const juce::String& identifier)
{
    auto* p = findByIdentifier (identifier);

    if (p == nullptr || p->getOutputIdentifier() != identifier)
        return nullptr;

    return std::make_unique<SimulatedOutput> (*p);
}

std::unique_ptr<juce::AudioIODeviceType> SimulatedPedals::createAudioDeviceType()
{
    auto type = std::make_unique<SimulatedAudioIODeviceType>();

    for (auto* p : pedals)
        if (p->isAudioPresent())
            type->addPedal (p->getName(), p->getOptions().audio, p->getSoundParameters());

    return type;
}

bool SimulatedPedals::ownsIdentifier (const juce::String& identifier) const
{
    return identifier.startsWith (Platform::simulatedPrefix);
}
