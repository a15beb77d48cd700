#include "AbstractQueue.h"

AbstractQueue::AbstractQueue (int capacityToUse) noexcept
    : capacity (capacityToUse)
{
    jassert (capacity > 1);
}

int AbstractQueue::numReadable() const noexcept
{
    const int readable = writeIndex.load (std::memory_order_acquire) - readIndex.load (std::memory_order_acquire);
    return readable < 0 ? readable + capacity : readable;
}

int AbstractQueue::numWritable() const noexcept
{
    return capacity - 1 - numReadable();
}

AbstractQueue::Reservation AbstractQueue::reserveWrite (int count, bool allOrNothing) const noexcept
{
    return reserve (writeIndex.load (std::memory_order_relaxed), allOrNothing ? numWritable() : 0, count, allOrNothing);
}

AbstractQueue::Reservation AbstractQueue::reserveRead (int count, bool allOrNothing) const noexcept
{
    return reserve (readIndex.load (std::memory_order_relaxed), allOrNothing ? numReadable() : 0, count, allOrNothing);
}

AbstractQueue::Reservation AbstractQueue::reserve (int index, int available, int count, bool allOrNothing) const noexcept
{
    jassert (count >= 0 && count <= capacity);

    Reservation r;

    // A request larger than the storage could only be copied by running past its end: it is
    // refused whatever the mode.
    if (count <= 0 || count > capacity || (allOrNothing && available < count))
    {
        r.failed = (count != 0);
        return r;
    }

    r.start1 = index;
    r.size1 = juce::jmin (capacity - index, count);
    r.size2 = count - r.size1;
    return r;
}

int AbstractQueue::wrap (juce::int64 index) const noexcept
{
    // Out-of-range arguments are programming errors, but an index outside the storage would let
    // the next copy run past it: wrap whatever comes in.
    const auto wrapped = index % capacity;
    return (int) (wrapped < 0 ? wrapped + capacity : wrapped);
}

int AbstractQueue::advance (int index, int count) const noexcept
{
    jassert (count >= 0 && count < capacity);
    const int next = index + count;

    if (next < capacity)
        return next;

    return next < 2 * capacity ? next - capacity : wrap (next);
}

void AbstractQueue::commitWrite (int count) noexcept
{
    writeIndex.exchange (advance (writeIndex.load (std::memory_order_relaxed), count), std::memory_order_acq_rel);
}

void AbstractQueue::commitRead (int count) noexcept
{
    readIndex.exchange (advance (readIndex.load (std::memory_order_relaxed), count), std::memory_order_acq_rel);
}

int AbstractQueue::offsetIndex (int index, int offset) const noexcept
{
    jassert (offset > -capacity && offset < capacity);
    return wrap ((juce::int64) index + offset);
}

void AbstractQueue::setReadIndex (int newIndex) noexcept
{
    jassert (newIndex >= 0 && newIndex < capacity);
    readIndex.exchange (wrap (newIndex), std::memory_order_acq_rel);
}

void AbstractQueue::setWriteIndex (int newIndex) noexcept
{
    jassert (newIndex >= 0 && newIndex < capacity);
    writeIndex.exchange (wrap (newIndex), std::memory_order_acq_rel);
}

void AbstractQueue::resetIndices() noexcept
{
    readIndex.store (0);
    writeIndex.store (0);
}
