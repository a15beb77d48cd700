#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

/** An open MIDI input: delivers what it receives to the callback it was opened with, on a
    thread of its own (the platform's MIDI thread), between start() and stop(). */
class MidiInputPort
{
public:
    virtual ~MidiInputPort() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
};

/** An open MIDI output. */
class MidiOutputPort
{
public:
    virtual ~MidiOutputPort() = default;
    /** Sends at once; never blocks for long. */
    virtual void sendMessageNow (const juce::MidiMessage& message) = 0;
    /** Drops anything still waiting to be sent. */
    virtual void clearAllPendingMessages() = 0;
};

/** The MIDI ports and audio devices one backend presents: the real one (JUCE's MIDI and audio
    device classes) or the simulated pedals. */
class MidiPorts
{
public:
    virtual ~MidiPorts() = default;

    virtual juce::Array<juce::MidiDeviceInfo> getInputs() = 0;
    virtual juce::Array<juce::MidiDeviceInfo> getOutputs() = 0;

    /** Opens an input by identifier; nullptr when there is no such port. The input calls
        callback->handleIncomingMidiMessage (with a null source for ports that are not JUCE's). */
    virtual std::unique_ptr<MidiInputPort> openInput (const juce::String& identifier, juce::MidiInputCallback* callback) = 0;
    virtual std::unique_ptr<MidiOutputPort> openOutput (const juce::String& identifier) = 0;

    /** A fresh audio device type that lists and opens this backend's audio devices by name. */
    virtual std::unique_ptr<juce::AudioIODeviceType> createAudioDeviceType() = 0;

    /** Whether this backend owns the port with that identifier. */
    virtual bool ownsIdentifier (const juce::String& identifier) const = 0;
};
