#include <gtest/gtest.h>
#include <chrono>
#include <thread>
#include "MessageThreadTest.h"
#include "StreamTestSupport.h"

namespace
{
    using State = AudioIODeviceSource::StreamState;
    using Clock = std::chrono::steady_clock;

    /** Holds the device callback inside the stream, after its state check, until released. */
    struct HoldingHook : AudioIODeviceSource::DeviceHook
    {
        bool isMeasuring() const noexcept override
        {
            if (armed.exchange (false))
            {
                entered = true;
                while (! released.load())
                    std::this_thread::yield();
            }
            return false;
        }

        void deviceCallbackFinished (const float* const*, int, juce::AudioBuffer<float>&) noexcept override {}

        mutable std::atomic<bool> armed { false }, entered { false };
        std::atomic<bool> released { false };
    };

    /** A host on its own thread: a 200 Hz sine in blocks paced by the real clock. */
    struct HostThread
    {
        HostThread (AudioIODeviceSource& s, int blockSize, double sampleRate)
            : stream (s), block (2, blockSize)
        {
            thread = std::thread ([this, blockSize, sampleRate]
            {
                const auto period = std::chrono::duration<double> (blockSize / sampleRate);
                const auto start = Clock::now();
                juce::int64 first = 0;

                for (juce::int64 n = 1; ! stopRequested.load(); ++n)
                {
                    fillWithSine (block, first);
                    const int before = stream.getStreamState();
                    if (before == State::deviceRunning)
                    {
                        ++starts;
                        blocksSinceStart = 0;
                    }

                    stream.getNextAudioBlock (juce::AudioSourceChannelInfo (&block, 0, blockSize));

                    // A start fades nothing: it cuts to silence, and its first blocks bring what
                    // the rings and the device held. Past those, the sine must come back whole.
                    const int glitchesBefore = glitches.glitches;
                    glitches.add (block.getReadPointer (0), blockSize);
                    const bool steady = before == State::streaming && stream.getStreamState() == State::streaming;
                    if (steady && ++blocksSinceStart > settleBlocks)
                    {
                        damagedBlocks += glitches.glitches > glitchesBefore ? 1 : 0;
                        ++streamedBlocks;
                    }
                    first += blockSize;

                    std::this_thread::sleep_until (start + std::chrono::duration_cast<Clock::duration> (period * (double) n));
                }
            });
        }

        void stop()
        {
            stopRequested = true;
            thread.join();
        }

        AudioIODeviceSource& stream;
        juce::AudioBuffer<float> block;
        static constexpr int settleBlocks = 24;   // more than the longest round trip, in host blocks

        GlitchCounter glitches;
        int starts = 0, blocksSinceStart = 0;
        int streamedBlocks = 0, damagedBlocks = 0;
        std::atomic<bool> stopRequested { false };
        std::thread thread;
    };

    SimulatedAudioIODevice* makeDevice (double ppm, SimulatedAudioIODevice::Pacing pacing)
    {
        SimulatedAudioIODevice::Options options;
        options.ppmOffset = ppm;
        options.jitter = 0.1;
        options.pacing = pacing;
        auto* device = new SimulatedAudioIODevice ("TVL-1A2B", "Thornvale Simulator", options);
        device->getModel().getParameters().passThrough = true;
        return device;
    }
}

// A device callback that read "streaming" just before the message thread stopped the stream is
// still inside the rings: the reset must wait for it, or its write would land in fresh rings.
TEST (AudioIODeviceSourceThreadTest, TheResetWaitsForACallbackThatPassedItsStateCheck)
{
    AudioIODeviceSource stream (AudioIODeviceSource::Supervision::manual);
    stream.setAudioIODevice (makeDevice (0.0, SimulatedAudioIODevice::Pacing::external));
    stream.prepareToPlay (512, 48000.0);

    juce::AudioBuffer<float> host (2, 512), deviceIn (2, 512), deviceOut (2, 512);
    host.clear();
    deviceIn.clear();
    auto deviceCallback = [&]
    {
        stream.audioDeviceIOCallbackWithContext (deviceIn.getArrayOfReadPointers(), 2, deviceOut.getArrayOfWritePointers(), 2, 512, {});
    };

    deviceCallback();
    stream.getNextAudioBlock (juce::AudioSourceChannelInfo (&host, 0, 512));
    ASSERT_EQ (stream.getStreamState(), State::streaming);

    HoldingHook hook;
    stream.setDeviceHook (&hook);
    hook.armed = true;

    std::thread device (deviceCallback);
    while (! hook.entered.load())
        std::this_thread::yield();

    std::atomic<bool> resetDone { false };
    std::thread messageThread ([&] { stream.updateAudioParameters (false); resetDone = true; });

    std::this_thread::sleep_for (std::chrono::milliseconds (50));
    EXPECT_FALSE (resetDone.load()) << "the reset went ahead with a callback inside the rings";

    hook.released = true;
    device.join();
    messageThread.join();

    EXPECT_EQ (stream.getFromPedal().numReadable(), 0) << "the callback's write landed after the reset";
    EXPECT_EQ (stream.getFromPedal().getWriteIndex(), 0);
    EXPECT_EQ (stream.getStreamState(), State::starting);

    stream.setDeviceHook (nullptr);
}

// The simulated device's own thread and a host thread stream for a few seconds while the
// message thread changes settings, reopens the device and hands over a new one.
class AudioIODeviceSourceRealThreadTest : public MessageThreadTest {};

TEST_F (AudioIODeviceSourceRealThreadTest, StreamsWithoutDamageBetweenItsRestarts)
{
    AudioIODeviceSource stream;   // with its own timers, run by pump()
    stream.setAudioIODevice (makeDevice (40.0, SimulatedAudioIODevice::Pacing::ownThread));
    stream.prepareToPlay (512, 48000.0);

    HostThread host (stream, 512, 48000.0);
    auto streaming = [&] { return stream.getStreamState() == State::streaming; };

    EXPECT_TRUE (pumpUntil (streaming, 5000));
    pump (800);

    stream.setPedalSettings ({ 0, 2, 0, 0 });          // more buffering: rings reset, device runs on
    stream.updateAudioParameters (true);
    EXPECT_TRUE (pumpUntil (streaming, 5000));
    pump (600);

    stream.setPedalSettings ({ 256, 2, 1, 0 });        // another device block: the device reopens
    stream.updateAudioParameters (true);
    EXPECT_TRUE (pumpUntil (streaming, 5000));
    pump (600);

    stream.setAudioIODevice (makeDevice (-40.0, SimulatedAudioIODevice::Pacing::ownThread));
    EXPECT_TRUE (pumpUntil (streaming, 5000));
    pump (600);

    host.stop();
    stream.setAudioIODevice (nullptr);

    EXPECT_GE (host.starts, 4);
    EXPECT_GT (host.streamedBlocks, 20) << host.starts << " starts, " << stream.getRestartCount() << " restarts after errors";
    EXPECT_EQ (host.damagedBlocks, 0) << host.starts << " starts, " << stream.getRestartCount() << " restarts after errors";
}
