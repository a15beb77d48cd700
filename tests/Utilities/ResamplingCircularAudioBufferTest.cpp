#include <gtest/gtest.h>
#include "Utilities/ResamplingCircularAudioBuffer.h"

namespace
{
    /** A resampling ring with a writer and reader helper that track how much was consumed. */
    struct Fixture
    {
        explicit Fixture (int capacity = 32768) : ring (2, capacity) {}

        /** Appends samples whose values come from f(n) for a running input index n. */
        template <typename F>
        void write (int numSamples, F&& f)
        {
            juce::AudioBuffer<float> block (2, numSamples);
            for (int i = 0; i < numSamples; ++i, ++written)
            {
                block.setSample (0, i, (float) f (written));
                block.setSample (1, i, (float) -f (written));
            }
            ASSERT_TRUE (ring.writeBuffer (block.getArrayOfReadPointers(), 2, numSamples, 0, true));
        }

        bool read (int numSamples, bool allOrNothing = true)
        {
            out.setSize (2, numSamples, false, false, true);
            const int before = ring.numReadable();
            const bool ok = ring.readBuffer (out.getArrayOfWritePointers(), 2, numSamples, 0, allOrNothing);
            lastConsumed = before - ring.numReadable();
            return ok;
        }

        ResamplingCircularAudioBuffer ring;
        juce::AudioBuffer<float> out;
        int written = 0;
        int lastConsumed = 0;
    };

    double rampValue (int n)   { return (double) (n + 1); }
}

TEST (ResamplingCircularAudioBufferTest, RatioOneDelaysByExactlyTwoSamplesAcrossTheWrap)
{
    Fixture f (64);
    int produced = 0;

    for (int block = 0; block < 20; ++block)   // 20 × 7 samples go round the 64-sample storage twice
    {
        f.write (7, rampValue);
        ASSERT_TRUE (f.read (7, false));
        EXPECT_EQ (f.lastConsumed, 7);

        for (int i = 0; i < 7; ++i, ++produced)
        {
            const float expected = produced < 2 ? 0.0f : (float) rampValue (produced - 2);
            ASSERT_EQ (f.out.getSample (0, i), expected) << "output " << produced;
            ASSERT_EQ (f.out.getSample (1, i), -expected) << "output " << produced;
        }
    }
}

TEST (ResamplingCircularAudioBufferTest, InterpolationIsExactForPolynomialsUpToTheFourthDegree)
{
    // Output k sits at input position k × ratio - 2; a quartic through five samples is reproduced.
    const auto p = [] (double x) { return 1.0 + 0.5 * x - 0.02 * x * x + 0.001 * x * x * x - 1.0e-5 * x * x * x * x; };

    for (const double ratio : { 0.37, 1.0001, 1.9 })
    {
        Fixture f;
        f.ring.setTargetRatio (ratio);
        f.write (400, p);
        ASSERT_TRUE (f.read (100));

        for (int k = 0; k < 100; ++k)
        {
            const double x = k * ratio - 2.0;
            if (x < 4.0)
                continue;   // the history still holds the zeros of the reset
            EXPECT_NEAR (f.out.getSample (0, k), p (x), 2.0e-4 * std::abs (p (x)) + 1.0e-4) << "ratio " << ratio << ", output " << k;
        }
    }
}

TEST (ResamplingCircularAudioBufferTest, ReadsReserveFourSamplesBeyondTheRatio)
{
    {
        Fixture f;
        f.write (3, rampValue);
        EXPECT_FALSE (f.read (0)) << "a zero-length read still reserves 4 samples";
        EXPECT_EQ (f.ring.numReadable(), 3);
    }
    {
        Fixture f;
        f.write (4, rampValue);
        EXPECT_TRUE (f.read (0));
        EXPECT_EQ (f.lastConsumed, 0) << "channels were processed: only what they took is consumed";

        EXPECT_TRUE (f.ring.readBuffer (nullptr, 0, 0, 0, true));
        EXPECT_EQ (f.ring.numReadable(), 0) << "no channel processed: the whole reservation is dropped";
    }
    {
        Fixture f;
        f.write (103, rampValue);
        f.out.setSize (2, 100);
        f.out.clear();
        juce::FloatVectorOperations::fill (f.out.getWritePointer (0), 5.0f, 100);
        EXPECT_FALSE (f.ring.readBuffer (f.out.getArrayOfWritePointers(), 2, 100, 0, true))
            << "100 samples are readable, but 100 × 1.0 + 4 are needed";
        EXPECT_EQ (f.ring.numReadable(), 103);
        EXPECT_EQ (f.out.getMagnitude (0, 100), 0.0f);
    }
    {
        Fixture f;
        f.ring.setTargetRatio (1.25);
        f.write (128, rampValue);
        EXPECT_FALSE (f.read (100)) << "100 × 1.25 + 4 = 129 are needed";
        f.write (1, rampValue);
        EXPECT_TRUE (f.read (100));
    }
}

TEST (ResamplingCircularAudioBufferTest, RatioChangesRampLinearlyAndAccumulateWithoutDrift)
{
    Fixture f;
    f.ring.setRampLength (100);
    f.ring.setTargetRatio (1.5);
    f.write (2000, rampValue);

    ASSERT_TRUE (f.read (50));
    EXPECT_NEAR (f.ring.getCurrentRatio(), 1.25, 1.0e-12);
    ASSERT_TRUE (f.read (50));
    EXPECT_DOUBLE_EQ (f.ring.getCurrentRatio(), 1.5);

    // Consumption follows the ramp: about the sum of the ratios, 100 × 1.25 plus the reset's position.
    EXPECT_NEAR (2000 - f.ring.numReadable(), 125, 2);

    // No ramp: a new ratio applies at once.
    Fixture g;
    g.ring.setRampLength (0);
    g.ring.setTargetRatio (0.5);
    g.write (10, rampValue);
    ASSERT_TRUE (g.read (4));
    EXPECT_EQ (g.ring.getCurrentRatio(), 0.5);

    // A ratio 1e-4 off unity, a million output samples: the input consumed is exact to a sample.
    Fixture h (8192);
    h.ring.setTargetRatio (1.0001);
    h.write (1000, [] (int) { return 0.0; });
    for (int block = 0; block < 2000; ++block)
    {
        h.write (500, [] (int) { return 0.0; });
        ASSERT_TRUE (h.read (500));
    }
    EXPECT_NEAR ((double) (h.written - h.ring.numReadable()), 1.0e6 * 1.0001, 2.0);
}

TEST (ResamplingCircularAudioBufferTest, ResetRestoresRatioPositionAndIndices)
{
    Fixture f;
    f.ring.setRampLength (10);
    f.ring.setTargetRatio (1.2);
    f.write (50, rampValue);
    ASSERT_TRUE (f.read (20));

    f.ring.reset();
    EXPECT_EQ (f.ring.getTargetRatio(), 1.0);
    EXPECT_EQ (f.ring.getCurrentRatio(), 1.0);
    EXPECT_EQ (f.ring.getReadIndex(), 0);
    EXPECT_EQ (f.ring.getWriteIndex(), 0);

    f.ring.clear();
    f.written = 0;
    f.write (10, rampValue);
    ASSERT_TRUE (f.read (5));
    EXPECT_EQ (f.out.getSample (0, 1), 0.0f);
    EXPECT_EQ (f.out.getSample (0, 2), 1.0f) << "the history was cleared: two-sample delay again";
}
