#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** A fixed-size single-producer single-consumer queue of MIDI messages: written on the MIDI
    thread, read on the message thread. The writer never blocks; when the queue is full the
    newest message is dropped. One slot always stays free, so it holds at most capacity − 1. */
class MidiQueue
{
public:
    static constexpr int capacity = 4096;

    MidiQueue();

    /** MIDI thread. */
    void write (const juce::MidiMessage& message);

    /** Message thread: the oldest message, or false when the queue is empty. */
    bool read (juce::MidiMessage& message);

    int getNumReady() const noexcept   { return fifo.getNumReady(); }

private:
    juce::AbstractFifo fifo { capacity };
    std::vector<juce::MidiMessage> messages;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MidiQueue)
};
