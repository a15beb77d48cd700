#include <gtest/gtest.h>
#include "Utilities/CircularAudioBuffer.h"

namespace
{
    /** A small two-channel block whose samples count up from a start value (right = -left). */
    struct Block
    {
        Block (int numSamples, float first = 1.0f) : buffer (2, numSamples)
        {
            for (int i = 0; i < numSamples; ++i)
            {
                buffer.setSample (0, i, first + (float) i);
                buffer.setSample (1, i, -(first + (float) i));
            }
        }

        const float* const* read() const   { return buffer.getArrayOfReadPointers(); }
        float* const* write()              { return buffer.getArrayOfWritePointers(); }
        float at (int ch, int i) const     { return buffer.getSample (ch, i); }

        juce::AudioBuffer<float> buffer;
    };

    struct Indices
    {
        int read, write;
        bool operator== (const Indices& o) const   { return read == o.read && write == o.write; }
    };

    /** Counts the JUCE assertions of its scope instead of failing the test on them. */
    struct ExpectedAssertions : juce::Logger
    {
        ExpectedAssertions() : previous (juce::Logger::getCurrentLogger())   { juce::Logger::setCurrentLogger (this); }
        ~ExpectedAssertions() override                                        { juce::Logger::setCurrentLogger (previous); }

        void logMessage (const juce::String& message) override
        {
            if (message.contains ("JUCE Assertion failure"))
                ++count;
        }

        juce::Logger* previous;
        int count = 0;
    };

    Indices indicesOf (const CircularAudioBuffer& ring)   { return { ring.getReadIndex(), ring.getWriteIndex() }; }
}

TEST (CircularAudioBufferTest, CountsOneFreeSlotAndQueuesAtMostCapacityMinusOne)
{
    CircularAudioBuffer ring (2, 32768);
    Block block (32767);

    EXPECT_EQ (ring.numWritable(), 32767);
    EXPECT_FALSE (ring.writeBuffer (Block (32768).read(), 2, 32768, 0, true));
    EXPECT_EQ (ring.getWriteIndex(), 0);

    EXPECT_TRUE (ring.writeBuffer (block.read(), 2, 32767, 0, true));
    EXPECT_EQ (ring.numReadable(), 32767);
    EXPECT_EQ (ring.numWritable(), 0);
    EXPECT_FALSE (ring.writeBuffer (block.read(), 2, 1, 0, true));
    EXPECT_EQ (ring.numReadable(), 32767);
}

TEST (CircularAudioBufferTest, RefusedAllOrNothingTransfersMoveNothingAndSilenceTheDestination)
{
    CircularAudioBuffer ring (2, 8);
    Block in (5);
    ASSERT_TRUE (ring.writeBuffer (in.read(), 2, 5, 0, true));

    EXPECT_FALSE (ring.writeBuffer (in.read(), 2, 3, 0, true)) << "only 2 slots are free";
    EXPECT_EQ (indicesOf (ring), (Indices { 0, 5 }));

    Block out (8, 99.0f);
    EXPECT_FALSE (ring.readBuffer (out.write(), 2, 6, 1, true)) << "only 5 samples are readable";
    EXPECT_EQ (indicesOf (ring), (Indices { 0, 5 }));

    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (out.at (0, i), (i >= 1 && i < 7) ? 0.0f : 99.0f + (float) i) << i;
}

TEST (CircularAudioBufferTest, ZeroLengthTransfersSucceedAndMoveNothing)
{
    CircularAudioBuffer ring (2, 8);
    Block b (4);

    EXPECT_TRUE (ring.writeBuffer (b.read(), 2, 0, 0, true));
    EXPECT_TRUE (ring.readBuffer (b.write(), 2, 0, 0, true));
    EXPECT_EQ (indicesOf (ring), (Indices { 0, 0 }));
    EXPECT_EQ (b.at (0, 0), 1.0f);
}

TEST (CircularAudioBufferTest, BlocksAcrossTheEndOfTheStorageComeOutContiguous)
{
    CircularAudioBuffer ring (2, 8);
    Block first (5), second (6, 10.0f), out (6, 0.0f);

    ASSERT_TRUE (ring.writeBuffer (first.read(), 2, 5, 0, true));
    ASSERT_TRUE (ring.readBuffer (out.write(), 2, 5, 0, true));

    ASSERT_TRUE (ring.writeBuffer (second.read(), 2, 6, 0, true));   // 3 samples at the end, 3 at the start
    EXPECT_EQ (indicesOf (ring), (Indices { 5, 3 }));
    EXPECT_EQ (ring.numReadable(), 6);

    ASSERT_TRUE (ring.readBuffer (out.write(), 2, 6, 0, true));

    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ (out.at (0, i), 10.0f + (float) i);
        EXPECT_EQ (out.at (1, i), -(10.0f + (float) i));
    }

    EXPECT_EQ (indicesOf (ring), (Indices { 3, 3 }));
}

TEST (CircularAudioBufferTest, MissingChannelsAreSilentAndNullChannelsSkipped)
{
    CircularAudioBuffer ring (2, 16);
    Block in (4);

    // One source channel: the ring's second channel gets silence.
    ASSERT_TRUE (ring.writeBuffer (in.read(), 1, 4, 0, true));

    // Three destination channels, the middle one null: the third is beyond the ring and cleared.
    juce::AudioBuffer<float> out (3, 4);
    for (int ch = 0; ch < 3; ++ch)
        juce::FloatVectorOperations::fill (out.getWritePointer (ch), 7.0f, 4);

    float* dest[] = { out.getWritePointer (0), nullptr, out.getWritePointer (2) };
    ASSERT_TRUE (ring.readBuffer (dest, 3, 4, 0, true));

    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ (out.getSample (0, i), 1.0f + (float) i);
        EXPECT_EQ (out.getSample (1, i), 7.0f) << "a null channel is not touched";
        EXPECT_EQ (out.getSample (2, i), 0.0f);
    }

    // A null source appends silence to every ring channel.
    Block silenceCheck (4, 5.0f);
    ASSERT_TRUE (ring.writeBuffer (nullptr, 0, 4, 0, true));
    ASSERT_TRUE (ring.readBuffer (silenceCheck.write(), 2, 4, 0, true));
    EXPECT_EQ (silenceCheck.buffer.getMagnitude (0, 4), 0.0f);
}

TEST (CircularAudioBufferTest, WithoutAllOrNothingAWriteOverrunsTheReader)
{
    CircularAudioBuffer ring (2, 8);
    Block in (6);

    ASSERT_TRUE (ring.writeBuffer (in.read(), 2, 6, 0, false));
    ASSERT_TRUE (ring.writeBuffer (in.read(), 2, 6, 0, false));   // only 1 slot was free

    EXPECT_EQ (indicesOf (ring), (Indices { 0, 4 })) << "the write index passed the read index";
    EXPECT_EQ (ring.numReadable(), 4);
}

TEST (CircularAudioBufferTest, RequestsLargerThanTheStorageAreRefusedInEveryMode)
{
    // A caller error, asserted in debug builds; release builds must still stay inside the storage.
    ExpectedAssertions assertions;
    CircularAudioBuffer ring (2, 8);
    Block big (12, 3.0f);

    for (bool allOrNothing : { false, true })
    {
        EXPECT_FALSE (ring.writeBuffer (big.read(), 2, 9, 0, allOrNothing));
        EXPECT_FALSE (ring.readBuffer (big.write(), 2, 12, 0, allOrNothing));
        EXPECT_EQ (indicesOf (ring), (Indices { 0, 0 }));
        EXPECT_EQ (big.buffer.getMagnitude (0, 12), 0.0f) << "a refused read leaves silence";
    }

    EXPECT_GT (assertions.count, 0);
}

TEST (CircularAudioBufferTest, OffsetIndexWrapsBothWays)
{
    CircularAudioBuffer ring (2, 32768);

    struct Case { int index, offset, expected; };
    const Case cases[] = {
        { 0, -1024, 31744 }, { 100, -100, 0 }, { 32767, 1, 0 }, { 32000, 1536, 768 },
        { 5, 0, 5 }, { 0, 32767, 32767 }, { 0, -32767, 1 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (ring.offsetIndex (c.index, c.offset), c.expected) << c.index << " + " << c.offset;
}

TEST (CircularAudioBufferTest, InfoFormsUseTheRegionOfTheBuffer)
{
    CircularAudioBuffer ring (2, 64);
    Block in (10), out (10, 50.0f);

    ASSERT_TRUE (ring.writeBuffer (juce::AudioSourceChannelInfo (&in.buffer, 2, 5), true));
    ASSERT_TRUE (ring.readBuffer (juce::AudioSourceChannelInfo (&out.buffer, 4, 5), true));

    for (int i = 0; i < 10; ++i)
        EXPECT_EQ (out.at (0, i), (i >= 4 && i < 9) ? 3.0f + (float) (i - 4) : 50.0f + (float) i) << i;
}
