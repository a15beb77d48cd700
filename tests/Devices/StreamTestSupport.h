#pragma once

#include "Devices/AudioIODeviceSource.h"
#include "Simulator/SimulatedAudioIODevice.h"
#include "Simulator/VirtualTimeDriver.h"

/** The setup of a StreamRig. */
struct StreamRigConfig
{
    int hostBlock = 512;
    int deviceBlock = 0;
    int outAdjust = 1;
    int inAdjust = 0;
    int extraLatency = 0;
    double ppm = 0.0;
    double deviceJitter = 0.0;
    double hostJitter = 0.0;
    int converterLatency = 40;
};

/** A stream with a simulated pass-through pedal, driven in virtual time. */
struct StreamRig
{
    using Config = StreamRigConfig;

    explicit StreamRig (const Config& c = {})
        : config (c),
          driver (stream, { c.hostJitter, true, 7 })
    {
        stream.setPedalSettings ({ c.deviceBlock, c.outAdjust, c.inAdjust, c.extraLatency });

        SimulatedAudioIODevice::Options options;
        options.ppmOffset = c.ppm;
        options.jitter = c.deviceJitter;
        options.converterLatency = c.converterLatency;
        options.pacing = SimulatedAudioIODevice::Pacing::external;
        device = new SimulatedAudioIODevice ("TVL-1A2B", "Thornvale Simulator", options);
        device->getModel().getParameters().passThrough = true;

        stream.setAudioIODevice (device);
        driver.prepare (48000.0, c.hostBlock);
    }

    Config config;
    AudioIODeviceSource stream { AudioIODeviceSource::Supervision::manual };
    VirtualTimeDriver driver;
    SimulatedAudioIODevice* device = nullptr;
};

/** Counts discontinuities in a stream of a slow sine (jumps in the second difference), including
    the cuts to and from silence that a (re)start makes. */
struct GlitchCounter
{
    void add (const float* samples, int numSamples)
    {
        for (int i = 0; i < numSamples; ++i)
        {
            const float x = samples[i];
            const float secondDifference = x - 2.0f * x1 + x2;

            if (seen >= 2 && std::abs (secondDifference) > threshold)
            {
                if (! inGlitch)
                    ++glitches;
                inGlitch = true;
            }
            else
            {
                inGlitch = false;
            }

            x2 = x1;
            x1 = x;
            ++seen;
        }
    }

    float threshold = 0.01f;
    float x1 = 0.0f, x2 = 0.0f;
    juce::int64 seen = 0;
    bool inGlitch = false;
    int glitches = 0;
};

/** A slow sine for the host's input: 200 Hz at half scale, from a running sample count. */
inline void fillWithSine (juce::AudioBuffer<float>& block, juce::int64 firstSample, double sampleRate = 48000.0)
{
    for (int i = 0; i < block.getNumSamples(); ++i)
    {
        const auto v = (float) (0.5 * std::sin (juce::MathConstants<double>::twoPi * 200.0 * (double) (firstSample + i) / sampleRate));
        for (int ch = 0; ch < block.getNumChannels(); ++ch)
            block.setSample (ch, i, v);
    }
}
