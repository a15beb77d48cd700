#pragma once

#include <juce_core/juce_core.h>
#include <atomic>

/** The index arithmetic of a single-producer single-consumer ring of a fixed capacity.

    The writer owns the write index and the reader owns the read index. Each side reads the other
    side's index atomically, moves its data, and then publishes its own new index with one atomic
    exchange (commitWrite / commitRead). One slot always stays empty, so equal indices mean an
    empty ring and at most capacity - 1 items can be queued.

    The class holds no data itself: CircularAudioBuffer adds the sample storage.
*/
class AbstractQueue
{
public:
    /** Where a transfer goes: a first segment [start1, start1 + size1) and a second segment
        [0, size2) that follows it after the wrap. */
    struct Reservation
    {
        int start1 = 0;
        int size1 = 0;
        int size2 = 0;
        bool failed = false;   ///< true when the request was refused (never for a zero-length request)

        int total() const noexcept   { return size1 + size2; }
    };

    explicit AbstractQueue (int capacityToUse) noexcept;

    int getCapacity() const noexcept   { return capacity; }

    int numReadable() const noexcept;
    int numWritable() const noexcept;

    /** Reserves count samples for the writer or the reader. With allOrNothing the request fails
        unless that many samples are writable (readable); without it the whole count is always
        reserved. A count below 0 or above the capacity fails in both modes. */
    Reservation reserveWrite (int count, bool allOrNothing) const noexcept;
    Reservation reserveRead (int count, bool allOrNothing) const noexcept;

    /** Publishes a finished transfer of count samples (0 <= count < capacity). */
    void commitWrite (int count) noexcept;
    void commitRead (int count) noexcept;

    /** (index + offset) wrapped into 0 .. capacity - 1, for -capacity < offset < capacity. */
    int offsetIndex (int index, int offset) const noexcept;

    int getReadIndex() const noexcept    { return readIndex.load (std::memory_order_acquire); }
    int getWriteIndex() const noexcept   { return writeIndex.load (std::memory_order_acquire); }

    /** Moves one index. Only the side that owns the index may call these (the reader the read
        index, the writer the write index), or anyone while neither side runs. */
    void setReadIndex (int newIndex) noexcept;
    void setWriteIndex (int newIndex) noexcept;

    /** Both indices to 0. Only while neither side runs. */
    void resetIndices() noexcept;

private:
    Reservation reserve (int index, int available, int count, bool allOrNothing) const noexcept;
    int advance (int index, int count) const noexcept;
    int wrap (juce::int64 index) const noexcept;

    std::atomic<int> readIndex { 0 };
    std::atomic<int> writeIndex { 0 };
    const int capacity;

    JUCE_DECLARE_NON_COPYABLE (AbstractQueue)
};
