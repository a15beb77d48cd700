#pragma once

#include "MidiQueue.h"
#include "Platform/MidiPorts.h"

/** The MIDI side of one pedal: its input and output ports (opened by identifier through the
    platform layer) and the hand-over of received messages from the MIDI thread to the message
    thread, through a lock-free queue drained every 50 ms. Sending is not queued. */
class MidiDevice : private juce::Timer,
                   public juce::MidiInputCallback
{
public:
    static constexpr int drainIntervalMs = 50;

    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void incomingMidiMessage (MidiDevice* source, const juce::MidiMessage& message) = 0;
    };

    MidiDevice (const juce::MidiDeviceInfo& inputPort, const juce::MidiDeviceInfo& outputPort, MidiPorts& platform);
    ~MidiDevice() override;

    /** Opens (again) both ports by identifier; a port that no longer exists stays closed. */
    void open();
    void close();

    bool isInputOpen() const noexcept    { return input != nullptr; }
    bool isOutputOpen() const noexcept   { return output != nullptr; }

    /** Sends at once when the output is open; otherwise the message is lost. Message thread. */
    void sendMessageNow (const juce::MidiMessage& message);

    const juce::MidiDeviceInfo& getInputInfo() const noexcept    { return inputInfo; }
    const juce::MidiDeviceInfo& getOutputInfo() const noexcept   { return outputInfo; }

    void addListener (Listener* l)      { listeners.addIfNotAlreadyThere (l); }
    void removeListener (Listener* l)   { listeners.removeAllInstancesOf (l); }

    /** MIDI thread: queues the message and does nothing else. */
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;

    /** Delivers everything queued, in order (the 50 ms tick; tests may call it). */
    void timerCallback() override;

    MidiQueue& getQueue() noexcept   { return queue; }

private:
    MidiPorts& platform;
    std::unique_ptr<MidiInputPort> input;
    std::unique_ptr<MidiOutputPort> output;
    const juce::MidiDeviceInfo inputInfo, outputInfo;
    juce::Array<Listener*> listeners;
    MidiQueue queue;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MidiDevice)
};
