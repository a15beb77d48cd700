#include <gtest/gtest.h>
#include <mutex>
#include "StreamTestSupport.h"
#include "Utilities/AudioThreadGuard.h"

namespace
{
    using State = AudioIODeviceSource::StreamState;

    struct SampleClock : AudioIODeviceSource::Clock
    {
        juce::int64 getTicks() noexcept override            { return now; }
        juce::int64 getTicksPerSecond() noexcept override   { return 48000; }
        juce::int64 now = 0;
    };

    /** Keeps the compiler from eliding an allocation it can see through. */
    void escape (void* p)   { asm volatile ("" : : "g" (p) : "memory"); }

    struct SilencingHook : AudioIODeviceSource::DeviceHook
    {
        bool isMeasuring() const noexcept override   { return measuring; }
        void deviceCallbackFinished (const float* const*, int, juce::AudioBuffer<float>& outputs) noexcept override
        {
            if (measuring)
                outputs.clear();
        }
        bool measuring = false;
    };
}

TEST (AudioIODeviceSourceRealtimeTest, TheGuardCountsWhatItShould)
{
    if (! AudioThreadGuard::hooksInstalled.load())
        GTEST_SKIP() << "a sanitizer build: the counting hooks are not installed";
    AudioThreadGuard::resetCounts();

    {
        escape (std::make_unique<int[]> (16).get());
        std::mutex m;
        std::lock_guard<std::mutex> lock (m);
    }
    EXPECT_EQ (AudioThreadGuard::getAllocationCount(), 0);
    EXPECT_EQ (AudioThreadGuard::getLockCount(), 0);

    {
        const AudioThreadGuard audioThread;
        escape (std::make_unique<int[]> (16).get());
        std::mutex m;
        std::lock_guard<std::mutex> lock (m);
    }
    EXPECT_EQ (AudioThreadGuard::getAllocationCount(), 1);
    EXPECT_EQ (AudioThreadGuard::getLockCount(), 1);
}

// Both audio-thread entry points, through every state they pass: start, streaming, a latency
// measurement, an underrun and the restart after it.
TEST (AudioIODeviceSourceRealtimeTest, NeitherSideAllocatesNorLocks)
{
    if (! AudioThreadGuard::hooksInstalled.load())
        GTEST_SKIP() << "a sanitizer build: the counting hooks are not installed";

    SampleClock clock;
    SilencingHook hook;
    AudioIODeviceSource stream (AudioIODeviceSource::Supervision::manual);
    stream.setClock (&clock);
    stream.setDeviceHook (&hook);

    SimulatedAudioIODevice::Options options;
    options.pacing = SimulatedAudioIODevice::Pacing::external;
    stream.setAudioIODevice (new SimulatedAudioIODevice ("TVL-1A2B", "Thornvale Simulator", options));
    stream.prepareToPlay (256, 48000.0);

    juce::AudioBuffer<float> host (2, 256), deviceIn (2, 256), deviceOut (2, 256);
    deviceIn.clear();

    auto deviceSide = [&]
    {
        clock.now += 256;
        const AudioThreadGuard audioThread;
        stream.audioDeviceIOCallbackWithContext (deviceIn.getArrayOfReadPointers(), 2, deviceOut.getArrayOfWritePointers(), 2, 256, {});
    };
    auto hostSide = [&]
    {
        fillWithSine (host, clock.now);
        const AudioThreadGuard audioThread;
        stream.getNextAudioBlock (juce::AudioSourceChannelInfo (&host, 0, 256));
    };

    AudioThreadGuard::resetCounts();

    for (int i = 0; i < 400; ++i)
    {
        deviceSide();
        hostSide();

        if (i == 100) hook.measuring = true;
        if (i == 150) hook.measuring = false;
        if (i % 94 == 0) stream.timerCallback (AudioIODeviceSource::fillControlTimerId);
    }
    EXPECT_EQ (stream.getStreamState(), State::streaming);

    for (int i = 0; i < 10; ++i)
        deviceSide();   // the host stops: the device underruns
    EXPECT_EQ (stream.getStreamState(), State::deviceUnderrun);

    stream.timerCallback (AudioIODeviceSource::restartTimerId);
    for (int i = 0; i < 50; ++i)
    {
        deviceSide();
        hostSide();
    }
    EXPECT_EQ (stream.getStreamState(), State::streaming);
    EXPECT_EQ (stream.getRestartCount(), 1);

    EXPECT_EQ (AudioThreadGuard::getAllocationCount(), 0);
    EXPECT_EQ (AudioThreadGuard::getLockCount(), 0);

    stream.setDeviceHook (nullptr);
    stream.setClock (nullptr);
}
