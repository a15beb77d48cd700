#include <gtest/gtest.h>
#include "Devices/AudioClipDetector.h"

namespace
{
    juce::AudioBuffer<float> blockWithPeaks (int numChannels, std::initializer_list<float> peaks)
    {
        juce::AudioBuffer<float> block (numChannels, 64);
        block.clear();
        int ch = 0;
        for (float peak : peaks)
            block.setSample (ch++, 17, peak);
        return block;
    }
}

TEST (AudioClipDetectorTest, ReportsEachChannelAtMinusOneDecibelAndOnlyTheFirstTwo)
{
    struct Case { int numChannels; std::initializer_list<float> peaks; int expected; };
    const Case cases[] = {
        { 2, { 0.8912509f, 0.0f }, 1 },
        { 2, { 0.89f, -0.95f }, 2 },
        { 2, { -1.0f, 1.5f }, 3 },
        { 1, { 1.0f }, 1 },
        { 3, { 0.0f, 0.0f, 1.0f }, 0 },
    };

    for (const auto& c : cases)
    {
        AudioClipDetector detector;
        detector.feed (blockWithPeaks (c.numChannels, c.peaks));
        EXPECT_EQ (detector.take(), c.expected) << c.numChannels << " channels";
    }
}

TEST (AudioClipDetectorTest, CollectsUntilTakenThenStartsAfresh)
{
    AudioClipDetector detector;
    detector.feed (blockWithPeaks (2, { 1.0f, 0.0f }));
    detector.feed (blockWithPeaks (2, { 0.0f, 1.0f }));

    EXPECT_EQ (detector.take(), 3) << "two clips before the editor looked: one indication";
    EXPECT_EQ (detector.take(), AudioClipDetector::nothingNew);

    detector.feed (blockWithPeaks (2, { 0.0f, 0.0f }));
    EXPECT_EQ (detector.take(), 0) << "the next block after a take starts from 0";
}

TEST (AudioClipDetectorTest, ClearsOnTheSecondTickWithoutHostBlocks)
{
    AudioClipDetector detector;
    detector.feed (blockWithPeaks (2, { 1.0f, 1.0f }));

    detector.timerCallback();
    EXPECT_EQ (detector.take(), 3) << "one idle tick keeps the indication";

    detector.timerCallback();
    EXPECT_EQ (detector.take(), 0) << "the second idle tick turns the lights off";

    detector.timerCallback();
    EXPECT_EQ (detector.take(), AudioClipDetector::nothingNew) << "and does so only once";

    detector.feed (blockWithPeaks (2, { 1.0f, 0.0f }));
    detector.timerCallback();
    EXPECT_EQ (detector.take(), 1) << "a host block restarts the idle count";
}
