#pragma once

#include "Devices/AudioIODeviceSource.h"
#include "SimulatedAudioIODevice.h"

/** Runs a stream with a simulated device in virtual time, deterministically.

    It advances a host clock (the nominal rate, optionally jittered) and the device's own clock
    (nominal rate × (1 + ppm), optionally jittered) in simulated time, calls the host side
    (getNextAudioBlock) and the device side (the device's renderNextBlock, which must use
    Pacing::external) in the order their clocks dictate, serves the stream's callback watches
    with the virtual time, and runs the stream's timers every simulated 100 ms and second.
    Hours of drift run in seconds, the same way every time.
*/
class VirtualTimeDriver : public AudioIODeviceSource::Clock
{
public:
    struct Options
    {
        double hostJitter = 0.0;       ///< each host block comes up to this fraction of a period late
        bool runTimers = true;         ///< run the stream's timers 0 and 1 in virtual time
        juce::int64 seed = 7;
    };

    /** Called with the host block before it goes to the stream (to fill it) and after (to look). */
    using BlockFunction = std::function<void (juce::AudioBuffer<float>&, juce::int64 firstSample)>;

    VirtualTimeDriver (AudioIODeviceSource& streamToDrive, const Options& options);
    ~VirtualTimeDriver() override;

    juce::int64 getTicks() noexcept override            { return now; }
    juce::int64 getTicksPerSecond() noexcept override   { return ticksPerSecond; }

    /** The host's setup: prepares the stream with it. */
    void prepare (double sampleRate, int hostBlockSize);

    /** Advances virtual time by the given number of seconds. */
    void run (double seconds);

    /** A host that stops calling leaves its slot empty: time goes on without host blocks. */
    void setHostCalling (bool shouldCall) noexcept   { hostCalling = shouldCall; }

    double getTime() const noexcept   { return (double) now / (double) ticksPerSecond; }
    juce::int64 getHostBlocks() const noexcept     { return hostBlocks; }
    juce::int64 getDeviceBlocks() const noexcept   { return deviceBlocks; }

    BlockFunction beforeHostBlock, afterHostBlock;

    /** When set, the host's block goes here instead of straight to the stream (a processor that
        owns the stream, prepared by its owner: prepare() then leaves the stream alone). */
    std::function<void (juce::AudioBuffer<float>&)> hostProcess;

    /** Called after every timer run, with the timer's id. */
    std::function<void (int)> afterTimer;

    static constexpr juce::int64 ticksPerSecond = 1000000000;   // nanoseconds

private:
    juce::int64 secondsToTicks (double seconds) const noexcept   { return (juce::int64) std::llround (seconds * (double) ticksPerSecond); }
    void scheduleDevice (SimulatedAudioIODevice* device);

    AudioIODeviceSource& stream;
    Options options;
    juce::Random random;
    juce::AudioBuffer<float> hostBlock;
    double sampleRate = 48000.0;
    int hostBlockSize = 512;
    bool hostCalling = true;

    juce::int64 now = 0;
    double hostGrid = 0.0, deviceGrid = 0.0;   // in seconds, without jitter
    juce::int64 nextHost = 0, nextDevice = -1, nextFast = 0, nextSlow = 0;
    juce::int64 hostBlocks = 0, deviceBlocks = 0, hostSamples = 0;
    SimulatedAudioIODevice* scheduledDevice = nullptr;
    int scheduledBlockSize = 0;
    double scheduledRate = 0.0;
};
