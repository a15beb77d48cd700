#include <gtest/gtest.h>
#include "Simulator/FuzzModel.h"

namespace
{
    constexpr double sampleRate = 48000.0;

    juce::AudioBuffer<float> sine (double hz, float amplitude, int numSamples = 4800)
    {
        juce::AudioBuffer<float> b (2, numSamples);
        for (int i = 0; i < numSamples; ++i)
            for (int ch = 0; ch < 2; ++ch)
                b.setSample (ch, i, amplitude * (float) std::sin (juce::MathConstants<double>::twoPi * hz * i / sampleRate));
        return b;
    }

    /** Amplitude of the given harmonic of a 100 Hz tone in the last 4800 samples (10 whole periods). */
    double harmonic (const juce::AudioBuffer<float>& b, int n)
    {
        double re = 0, im = 0;
        const int start = b.getNumSamples() - 4800;
        for (int i = 0; i < 4800; ++i)
        {
            const double phase = juce::MathConstants<double>::twoPi * 100.0 * n * i / sampleRate;
            re += b.getSample (0, start + i) * std::cos (phase);
            im += b.getSample (0, start + i) * std::sin (phase);
        }
        return 2.0 * std::sqrt (re * re + im * im) / 4800.0;
    }

    juce::AudioBuffer<float> processed (FuzzModel& model, juce::AudioBuffer<float> b)
    {
        for (int start = 0; start < b.getNumSamples(); start += 480)
        {
            juce::AudioBuffer<float> block (b.getArrayOfWritePointers(), 2, start, 480);
            model.process (block);
        }
        return b;
    }
}

TEST (FuzzModelTest, BypassAndPassThroughReturnTheInputUnchanged)
{
    for (const bool viaPassThrough : { false, true })
    {
        FuzzModel model;
        model.prepare (sampleRate);
        (viaPassThrough ? model.getParameters().passThrough : model.getParameters().engaged).store (viaPassThrough);

        const auto in = sine (440.0, 0.5f);
        const auto out = processed (model, in);

        for (int i = 0; i < in.getNumSamples(); ++i)
            ASSERT_EQ (out.getSample (0, i), in.getSample (0, i)) << i;
    }
}

TEST (FuzzModelTest, SustainSquaresUpTheToneWithEvenAndOddHarmonics)
{
    FuzzModel model;
    model.prepare (sampleRate);
    model.getParameters().toneBypass = true;
    model.getParameters().sustain = 0.9f;

    const auto out = processed (model, sine (100.0, 0.3f, 19200));

    const double fundamental = harmonic (out, 1);
    EXPECT_GT (fundamental, 0.05);
    EXPECT_GT (harmonic (out, 3), 0.15 * fundamental) << "hard clipping";
    EXPECT_GT (harmonic (out, 2), 0.02 * fundamental) << "the clipper is asymmetric";
    EXPECT_LT (out.getMagnitude (0, out.getNumSamples()), 2.0f);

    // Little sustain: much cleaner.
    FuzzModel gentle;
    gentle.prepare (sampleRate);
    gentle.getParameters().toneBypass = true;
    gentle.getParameters().sustain = 0.0f;
    const auto clean = processed (gentle, sine (100.0, 0.05f, 19200));
    EXPECT_LT (harmonic (clean, 3), 0.05 * harmonic (clean, 1));
}

TEST (FuzzModelTest, ToneSwitchesChangeTheVoicing)
{
    const auto in = sine (100.0, 0.3f, 19200);
    // Level of the n-th harmonic against the fundamental.
    auto levelOfHarmonic = [&] (bool toneBypass, bool lattice, float tone, int n)
    {
        FuzzModel model;
        model.prepare (sampleRate);
        model.getParameters().toneBypass = toneBypass;
        model.getParameters().toneLattice = lattice;
        model.getParameters().tone = tone;
        model.getParameters().sustain = 0.8f;
        const auto out = processed (model, in);
        return harmonic (out, n) / harmonic (out, 1);
    };

    EXPECT_GT (levelOfHarmonic (false, false, 1.0f, 15), 4.0 * levelOfHarmonic (false, false, 0.0f, 15)) << "Tone brightens";
    EXPECT_NE (levelOfHarmonic (false, true, 0.5f, 9), levelOfHarmonic (false, false, 0.5f, 9)) << "the lattice is another voicing";
    EXPECT_NE (levelOfHarmonic (true, false, 0.0f, 15), levelOfHarmonic (false, false, 0.0f, 15)) << "tone bypass skips the stack";
}
