#pragma once

#include "AudioIODeviceSource.h"

/** Measures the pedal's audio round trip with a pulse and its echo, inside the stream's device
    callback.

    Armed on the message thread (when the pedal says it is ready), it first sends silence long
    enough for the pedal to settle, then a short pulse on one output channel, and listens on the
    same input channel for the echo. While it runs the host hears silence from the pedal. A 100 ms
    message-thread poll delivers the result (the round trip minus 32 samples, at least 0) once to
    the completion callback.
*/
class AudioLatencyDetector : public AudioIODeviceSource::DeviceHook,
                             private juce::Timer
{
public:
    enum State { off = 0, armed = 1, listening = 2, found = 3, timedOut = 4 };

    static constexpr int maxLatencySamples = 16384;
    static constexpr float pulseLevel = 0.5f;
    static constexpr int pulseLength = 8;
    static constexpr float threshold = 0.4f;
    static constexpr int probeChannel = 0;
    static constexpr int resultOffset = 32;
    static constexpr int pollIntervalMs = 100;

    AudioLatencyDetector() = default;
    ~AudioLatencyDetector() override;

    /** Message thread: starts a measurement for callbacks of blockLength samples. */
    void arm (int blockLength, std::function<void (int)> completion);

    /** Message thread: the result poll (tests may call it). */
    void timerCallback() override;

    // Device thread.
    bool isMeasuring() const noexcept override;
    void deviceCallbackFinished (const float* const* inputs, int numInputs,
                                 juce::AudioBuffer<float>& outputs) noexcept override;

    int getState() const noexcept          { return state.load(); }
    int getBlockLimit() const noexcept     { return blockLimit.load(); }
    int getMeasuredSamples() const noexcept { return measuredSamples.load(); }

private:
    std::atomic<int> state { off };
    std::atomic<int> measuredSamples { 0 };
    std::atomic<int> blockCount { 0 };
    std::atomic<int> blockLimit { 0 };
    std::atomic<int> blockLength { 64 };
    std::atomic<bool> settleFirst { false };
    std::function<void (int)> latencyCallback;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioLatencyDetector)
};
