#include "FuzzModel.h"

namespace
{
    constexpr double negativeLimit = 0.6;      // the negative half-wave clips lower
    constexpr double inputBias = 0.02;         // off-centre bias: the half-waves differ in width, even harmonics
    constexpr double maxDriveDecibels = 54.0;
    constexpr double outputLevel = 0.7;

    double logCosh (double v) noexcept
    {
        const double a = std::abs (v);
        return a + std::log1p (std::exp (-2.0 * a)) - 0.69314718055994530942;
    }
}

FuzzModel::FuzzModel (std::shared_ptr<Parameters> parametersToUse)
    : parameters (std::move (parametersToUse))
{
    prepare (sampleRate);
}

void FuzzModel::prepare (double newSampleRate)
{
    sampleRate = newSampleRate;

    for (auto& c : channels)
    {
        c.inputCoupling.setCutoff (40.0, sampleRate);
        c.dcBlocker.setCutoff (15.0, sampleRate);
        c.toneLow.setCutoff (650.0, sampleRate);      // the classic scooped voicing
        c.toneHigh.setCutoff (1100.0, sampleRate);
        c.latticeLow.setCutoff (1800.0, sampleRate);  // the lattice voicing keeps the mids
        c.latticeHigh.setCutoff (450.0, sampleRate);
    }

    reset();
}

void FuzzModel::reset() noexcept
{
    for (auto& c : channels)
    {
        c.inputCoupling.z = c.dcBlocker.z = c.toneLow.z = c.toneHigh.z = c.latticeLow.z = c.latticeHigh.z = 0.0;
        c.previousDrive = 0.0;
        c.previousF = clipAntiderivative (0.0);
    }
}

double FuzzModel::clip (double u) noexcept
{
    return u >= 0.0 ? std::tanh (u) : negativeLimit * std::tanh (u / negativeLimit);
}

double FuzzModel::clipAntiderivative (double u) noexcept
{
    return u >= 0.0 ? logCosh (u) : negativeLimit * negativeLimit * logCosh (u / negativeLimit);
}

double FuzzModel::processSample (Channel& c, double x, double drive) const noexcept
{
    const double u = (c.inputCoupling.highPass (x) + inputBias) * drive;
    const double f = clipAntiderivative (u);
    const double du = u - c.previousDrive;

    // First-order antiderivative anti-aliasing: the mean of the curve over the step.
    const double y = std::abs (du) > 1.0e-6 ? (f - c.previousF) / du
                                            : clip (0.5 * (u + c.previousDrive));
    c.previousDrive = u;
    c.previousF = f;

    return c.dcBlocker.highPass (y);
}

// Audio thread.
void FuzzModel::process (juce::AudioBuffer<float>& buffer) noexcept
{
    auto& p = *parameters;

    if (p.passThrough.load() || ! p.engaged.load())
        return;

    const int numSamples = buffer.getNumSamples();
    const int numChannels = juce::jmin (2, buffer.getNumChannels());

    const float drive = (float) juce::Decibels::decibelsToGain (maxDriveDecibels * juce::jlimit (0.0f, 1.0f, p.sustain.load()));
    const float volume = juce::jlimit (0.0f, 1.0f, p.volume.load());
    const float tone = juce::jlimit (0.0f, 1.0f, p.tone.load());
    const float gains[2] { p.inputGainLeft.load(), p.inputGainRight.load() };
    const bool toneBypass = p.toneBypass.load();
    const bool lattice = p.toneLattice.load();

    for (int ch = 0; ch < numChannels; ++ch)
    {
        auto& c = channels[ch];
        float* samples = buffer.getWritePointer (ch);

        for (int i = 0; i < numSamples; ++i)
        {
            // Parameters glide across the block so that knob moves do not click.
            const double t = (double) (i + 1) / (double) numSamples;
            const double g = juce::jmap (t, (double) lastGain[ch], (double) gains[ch]);
            const double d = juce::jmap (t, (double) lastDrive, (double) drive);
            const double v = juce::jmap (t, (double) lastVolume, (double) volume);
            const double k = juce::jmap (t, (double) lastTone, (double) tone);

            double y = processSample (c, (double) samples[i] * g, d);

            if (! toneBypass)
            {
                const double low  = lattice ? c.latticeLow.lowPass (y)   : c.toneLow.lowPass (y);
                const double high = lattice ? c.latticeHigh.highPass (y) : c.toneHigh.highPass (y);
                y = (1.0 - k) * low + k * high;
            }

            samples[i] = (float) (y * v * outputLevel * 2.0);
        }

        lastGain[ch] = gains[ch];
    }

    lastDrive = drive;
    lastVolume = volume;
    lastTone = tone;
}
