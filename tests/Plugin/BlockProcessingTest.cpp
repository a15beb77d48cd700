#include "ProcessorTestBase.h"

/** Runs the processor over a known signal, block by block, and keeps what it put out. */
class BlockProcessingTest : public ProcessorTestBase
{
protected:
    static float signal (juce::int64 i, int channel)
    {
        // Distinct values everywhere, so a misplaced sample cannot pass unnoticed.
        return (float) (((i * 7919 + channel * 104729) % 20011) / 20011.0 - 0.5);
    }

    std::vector<std::vector<float>> run (int numBlocks, int hostBlock, bool bypassed = false, int announcedBlock = -1)
    {
        processor->prepareToPlay (48000.0, announcedBlock > 0 ? announcedBlock : hostBlock);
        juce::AudioBuffer<float> block (2, hostBlock);
        juce::MidiBuffer midi;
        std::vector<std::vector<float>> out (2);

        for (int b = 0; b < numBlocks; ++b)
        {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < hostBlock; ++i)
                    block.setSample (c, i, signal ((juce::int64) b * hostBlock + i, c));

            if (bypassed)
                processor->processBlockBypassed (block, midi);
            else
                processor->processBlock (block, midi);

            for (int c = 0; c < 2; ++c)
                out[(size_t) c].insert (out[(size_t) c].end(), block.getReadPointer (c), block.getReadPointer (c) + hostBlock);
        }

        return out;
    }
};

TEST_F (BlockProcessingTest, WithoutAPedalTheOutputIsTheInputDelayedByTheReportedLatency)
{
    const auto out = run (40, 512);
    ASSERT_EQ (processor->getLatencySamples(), 2631);
    ASSERT_EQ (processor->getReportedLatency(), 2631);

    // The output fades in over 5 blocks, then it is the input, exactly 2631 samples late.
    for (int c = 0; c < 2; ++c)
        for (size_t i = 10 * 512; i < out[(size_t) c].size(); ++i)
            ASSERT_EQ (out[(size_t) c][i], signal ((juce::int64) i - 2631, c)) << "channel " << c << " sample " << i;

    EXPECT_EQ (out[0][0], 0.0f) << "never the undelayed input";
}

TEST_F (BlockProcessingTest, HostBypassKeepsTheSameTiming)
{
    const auto out = run (40, 512, true);

    for (size_t i = 10 * 512; i < out[0].size(); i += 97)
        ASSERT_EQ (out[0][i], signal ((juce::int64) i - 2631, 0));
}

TEST_F (BlockProcessingTest, BlocksLongerThanAnnouncedAreProcessedAsSeveral)
{
    // The host announced 256 but sends 1024: the result is as if it had sent four blocks of 256.
    const auto together = run (12, 1024, false, 256);
    const int latency = processor->getReportedLatency();
    processor = std::make_unique<ThornvaleAudioProcessor>();
    const auto apart = run (48, 256);

    ASSERT_EQ (processor->getReportedLatency(), latency);
    ASSERT_EQ (together[0].size(), apart[0].size());

    for (int c = 0; c < 2; ++c)
        for (size_t i = 0; i < apart[(size_t) c].size(); ++i)
            ASSERT_EQ (together[(size_t) c][i], apart[(size_t) c][i]) << "sample " << i;
}
