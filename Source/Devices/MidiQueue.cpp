#include "MidiQueue.h"

MidiQueue::MidiQueue()
    : messages ((size_t) capacity)
{
}

void MidiQueue::write (const juce::MidiMessage& message)
{
    const auto scope = fifo.write (1);

    // A SysEx message longer than 8 bytes is copied into heap storage of the slot here: the MIDI
    // thread is not an audio thread, so that allocation is acceptable.
    if (scope.blockSize1 > 0)
        messages[(size_t) scope.startIndex1] = message;
    else if (scope.blockSize2 > 0)
        messages[(size_t) scope.startIndex2] = message;
}

bool MidiQueue::read (juce::MidiMessage& message)
{
    const auto scope = fifo.read (1);

    if (scope.blockSize1 > 0)
        message = messages[(size_t) scope.startIndex1];
    else if (scope.blockSize2 > 0)
        message = messages[(size_t) scope.startIndex2];
    else
        return false;

    return true;
}
