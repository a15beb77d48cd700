#include "MessageThreadTest.h"
#include "Devices/AudioLatencyDetector.h"

/** Drives the detector's device-callback step by hand: each call is one device callback. */
class AudioLatencyDetectorTest : public MessageThreadTest
{
protected:
    struct Callback
    {
        bool pulseSent = false;
        bool outputSilent = true;
    };

    Callback runCallback (int blockSize, int echoAt = -1, float echoLevel = 0.45f)
    {
        juce::AudioBuffer<float> in (2, blockSize), out (2, blockSize);
        in.clear();
        out.clear();
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
                out.setSample (c, i, 0.25f);   // whatever the stream put there

        if (echoAt >= 0)
            in.setSample (0, echoAt, echoLevel);

        detector.deviceCallbackFinished (in.getArrayOfReadPointers(), 2, out);

        Callback result;
        result.pulseSent = out.getSample (0, 0) == AudioLatencyDetector::pulseLevel;
        result.outputSilent = out.getMagnitude (1, 0, blockSize) == 0.0f;
        return result;
    }

    /** Arms, then runs callbacks until the pulse went out; returns how many it took. */
    int armAndSendPulse (int blockSize)
    {
        detector.arm (blockSize, [this] (int latency) { delivered.push_back (latency); });

        for (int k = 1; k < 10000; ++k)
            if (runCallback (blockSize).pulseSent)
                return k;

        return -1;
    }

    AudioLatencyDetector detector;
    std::vector<int> delivered;
};

TEST_F (AudioLatencyDetectorTest, SettlesForTheLimitThenPulses)
{
    const std::pair<int, int> cases[] = { { 512, 32 }, { 96, 170 }, { 256, 64 }, { 64, 256 } };

    for (auto [block, limit] : cases)
    {
        EXPECT_EQ (armAndSendPulse (block), limit + 1) << "the pulse goes out in callback " << limit + 1;
        EXPECT_EQ (detector.getBlockLimit(), limit);
        EXPECT_EQ (detector.getState(), AudioLatencyDetector::listening);
    }
}

TEST_F (AudioLatencyDetectorTest, FindsTheEchoAndDeliversItOnce)
{
    struct Case { int block, scannedCallback, sample; float level; int expected; };
    const Case cases[] = {
        { 256, 1, 100, 0.45f, 324 },    // 100 + 256 − 32
        { 256, 0, 10, 0.45f, 0 },       // below 32: nothing extra
        { 512, 3, 0, -0.9f, 3 * 512 - 32 },   // an inverted echo counts
    };

    for (auto& c : cases)
    {
        delivered.clear();
        ASSERT_GT (armAndSendPulse (c.block), 0);

        for (int k = 0; k < c.scannedCallback; ++k)
            EXPECT_TRUE (runCallback (c.block, -1).outputSilent);

        EXPECT_TRUE (runCallback (c.block, c.sample, c.level).outputSilent);
        EXPECT_EQ (detector.getState(), AudioLatencyDetector::found);
        EXPECT_TRUE (delivered.empty()) << "delivery waits for the message-thread poll";

        detector.timerCallback();
        detector.timerCallback();
        EXPECT_EQ (delivered, (std::vector<int> { c.expected }));
        EXPECT_EQ (detector.getState(), AudioLatencyDetector::off);
    }
}

TEST_F (AudioLatencyDetectorTest, AMissingEchoTimesOutAndDeliversNothing)
{
    ASSERT_GT (armAndSendPulse (512), 0);

    for (int k = 0; k < 32; ++k)
        runCallback (512, 0, 0.39f);   // below the threshold

    EXPECT_EQ (detector.getState(), AudioLatencyDetector::listening);
    runCallback (512, 0, 0.9f);
    EXPECT_EQ (detector.getState(), AudioLatencyDetector::timedOut) << "too late";

    detector.timerCallback();
    EXPECT_TRUE (delivered.empty());
    EXPECT_FALSE (detector.isMeasuring());
}

TEST_F (AudioLatencyDetectorTest, AShortCallbackCarriesAShortPulse)
{
    detector.arm (4, nullptr);

    juce::AudioBuffer<float> in (2, 4), out (2, 4);
    in.clear();

    for (int k = 0; k < 16384 / 4; ++k)
        detector.deviceCallbackFinished (in.getArrayOfReadPointers(), 2, out);

    out.clear();
    detector.deviceCallbackFinished (in.getArrayOfReadPointers(), 2, out);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ (out.getSample (0, i), AudioLatencyDetector::pulseLevel);
}
