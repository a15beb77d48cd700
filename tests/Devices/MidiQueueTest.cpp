#include <gtest/gtest.h>
#include <thread>
#include "Devices/MidiQueue.h"

namespace
{
    juce::MidiMessage sysex (int size, int fill)
    {
        std::vector<juce::uint8> body ((size_t) size, (juce::uint8) (fill & 0x7F));
        return juce::MidiMessage::createSysExMessage (body.data(), size);
    }
}

TEST (MidiQueue, HoldsOneLessThanItsCapacityInOrder)
{
    MidiQueue queue;

    for (int i = 0; i < MidiQueue::capacity; ++i)
        queue.write (juce::MidiMessage::controllerEvent (1, 7, i & 0x7F).withTimeStamp (i));

    juce::MidiMessage m;
    for (int i = 0; i < MidiQueue::capacity - 1; ++i)
    {
        ASSERT_TRUE (queue.read (m));
        ASSERT_EQ ((int) m.getTimeStamp(), i);
    }

    EXPECT_FALSE (queue.read (m)) << "the 4096th message was dropped";
}

TEST (MidiQueue, LongSysExSurvivesSlotReuse)
{
    MidiQueue queue;
    juce::MidiMessage m;

    // Walk every slot several times with alternating short and long messages.
    for (int round = 0; round < 3 * MidiQueue::capacity; ++round)
    {
        const auto sent = sysex (round % 2 == 0 ? 300 + round % 50 : 3, round);
        queue.write (sent);
        ASSERT_TRUE (queue.read (m));
        ASSERT_EQ (m.getRawDataSize(), sent.getRawDataSize());
        ASSERT_EQ (std::memcmp (m.getRawData(), sent.getRawData(), (size_t) sent.getRawDataSize()), 0);
    }
}

TEST (MidiQueue, AWriterThreadAndAReaderThreadLoseNothingWhileThereIsRoom)
{
    MidiQueue queue;
    constexpr int total = 200000;
    std::atomic<bool> done { false };

    std::thread writer ([&]
    {
        for (int i = 0; i < total; ++i)
        {
            while (queue.getNumReady() >= MidiQueue::capacity - 1)
                std::this_thread::yield();

            queue.write (sysex (i % 20 + 1, i).withTimeStamp (i));
        }

        done = true;
    });

    int expected = 0;
    juce::MidiMessage m;

    while (expected < total)
    {
        if (queue.read (m))
        {
            ASSERT_EQ ((int) m.getTimeStamp(), expected);
            ASSERT_EQ (m.getSysExDataSize(), expected % 20 + 1);
            ++expected;
        }
        else if (done && queue.getNumReady() == 0)
        {
            break;
        }
    }

    writer.join();
    EXPECT_EQ (expected, total);
}
