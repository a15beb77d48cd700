// Feeds random MIDI messages into a pedal object that a listener has taken, as whatever sits on
// the pedal's MIDI input could send them: no crash, no read out of bounds, no undefined
// behaviour, and the listener only ever hears about messages that passed the filter.
//
// Input: first byte chooses the mode (even: audio, odd: control); then messages, each a length
// byte followed by that many bytes.

#include "Devices/UsbDevice.h"
#include "FuzzSupport.h"
#include "Platform/Platform.h"
#include "Simulator/SimulatedPedals.h"

namespace
{
    struct Listener : UsbDevice::Listener
    {
        void incomingMidiMessage (UsbDevice* d, const juce::MidiMessage& m) override
        {
            // Whatever reaches a listener as SysEx carries the pedal's id.
            if (m.isSysEx() && m.getRawDataSize() >= 10 && m.getRawData()[6] != d->getSysexId())
                __builtin_trap();
        }
    };
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    static auto* juce = new juce::ScopedJuceInitialiser_GUI();   // never destroyed
    juce::ignoreUnused (juce);
    silenceJuceLogging();

    auto& platform = Platform::getInstance();
    platform.setRealPortsEnabled (false);
    SimulatedPedal::Options options;
    options.audio.pacing = SimulatedAudioIODevice::Pacing::external;
    platform.getSimulatedPedals().addPedal ("TVL-F00D", options).setSilent (true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;

    auto* pedal = Platform::getInstance().getSimulatedPedals().findPedal ("TVL-F00D");
    UsbDevice device ("TVL-F00D", { pedal->getInputPortName(), pedal->getInputIdentifier() },
                      { pedal->getOutputPortName(), pedal->getOutputIdentifier() }, Platform::getInstance());
    Listener listener;
    device.attach (&listener, (data[0] & 1) != 0 ? UsbDevice::control : UsbDevice::audio);

    size_t pos = 1;

    while (pos < size)
    {
        const size_t length = data[pos++];

        if (length == 0 || pos + length > size)
            break;

        device.incomingMidiMessage (&device.getMidi(), juce::MidiMessage (data + pos, (int) length));
        pos += length;
    }

    device.timerCallback (UsbDevice::keepAliveTimer);
    device.release();
    device.detach (&listener);
    return 0;
}
