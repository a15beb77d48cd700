#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <atomic>

/** The simulated pedal's sound: a small fuzz made to sound like one, not to model a circuit.

    Per channel: input gain, Sustain as drive into an asymmetric soft clipper (first-order
    antiderivative anti-aliasing), a blocking filter, a tone stack with two voicings ("Tone
    Lattice") that tone bypass skips, and Volume. With the footswitch off the pedal is a true
    bypass; in pass-through mode (latency calibration) every sample comes back unchanged.

    Parameters are atomics: the pedal's control side sets them from any thread, and the audio
    thread takes them once per block.
*/
class FuzzModel
{
public:
    struct Parameters
    {
        std::atomic<float> inputGainLeft { 1.0f };    ///< linear
        std::atomic<float> inputGainRight { 1.0f };   ///< linear
        std::atomic<float> sustain { 0.5f };          ///< 0 .. 1: drive of the clipper
        std::atomic<float> tone { 0.5f };             ///< 0 dark .. 1 bright
        std::atomic<float> volume { 0.5f };           ///< 0 .. 1
        std::atomic<bool> toneBypass { false };
        std::atomic<bool> toneLattice { false };
        std::atomic<bool> engaged { true };           ///< the bypass footswitch: false is true bypass
        std::atomic<bool> passThrough { false };      ///< latency calibration: audio comes back unchanged
    };

    explicit FuzzModel (std::shared_ptr<Parameters> parametersToUse = std::make_shared<Parameters>());

    void prepare (double sampleRate);
    void reset() noexcept;

    /** Audio thread: processes the first two channels of the buffer in place. */
    void process (juce::AudioBuffer<float>& buffer) noexcept;

    Parameters& getParameters() noexcept   { return *parameters; }
    std::shared_ptr<Parameters> getSharedParameters() const   { return parameters; }

private:
    struct OnePole
    {
        void setCutoff (double hz, double sampleRate) noexcept   { a = std::exp (-juce::MathConstants<double>::twoPi * hz / sampleRate); }
        double lowPass (double x) noexcept                      { z = x + a * (z - x); return z; }
        double highPass (double x) noexcept                     { return x - lowPass (x); }
        double a = 0.0, z = 0.0;
    };

    struct Channel
    {
        OnePole inputCoupling, dcBlocker, toneLow, toneHigh, latticeLow, latticeHigh;
        double previousDrive = 0.0;
        double previousF = 0.0;
    };

    static double clip (double u) noexcept;
    static double clipAntiderivative (double u) noexcept;
    double processSample (Channel& c, double x, double drive) const noexcept;

    std::shared_ptr<Parameters> parameters;
    Channel channels[2];
    double sampleRate = 48000.0;
    float lastDrive = 1.0f, lastVolume = 0.5f, lastTone = 0.5f;
    float lastGain[2] { 1.0f, 1.0f };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FuzzModel)
};
