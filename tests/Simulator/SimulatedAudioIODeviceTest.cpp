#include <gtest/gtest.h>
#include "Simulator/SimulatedAudioIODeviceType.h"

namespace
{
    /** Sends an impulse in its first callback and records where it comes back. */
    struct EchoCallback : juce::AudioIODeviceCallback
    {
        void audioDeviceIOCallbackWithContext (const float* const* in, int numIn, float* const* out, int numOut,
                                               int numSamples, const juce::AudioIODeviceCallbackContext&) override
        {
            ASSERT_EQ (numIn, 2);
            ASSERT_EQ (numOut, 2);

            for (int i = 0; i < numSamples; ++i, ++sample)
            {
                if (in[0][i] != 0.0f && echoAt < 0)
                    echoAt = sample;

                out[0][i] = out[1][i] = (sample == 0 ? 0.5f : 0.0f);
            }

            ++callbacks;
        }

        void audioDeviceAboutToStart (juce::AudioIODevice*) override   { ++starts; }
        void audioDeviceStopped() override                            { ++stops; }

        std::atomic<int> callbacks { 0 };
        int starts = 0, stops = 0;
        juce::int64 sample = 0, echoAt = -1;
    };
}

TEST (SimulatedAudioIODeviceTest, TheTypeListsAndCreatesDevicesByPedalName)
{
    SimulatedAudioIODeviceType type;
    type.addPedal ("TVL-1A2B");
    type.addPedal ("TVL-00FF");
    type.scanForDevices();

    EXPECT_EQ (type.getDeviceNames(), juce::StringArray ({ "TVL-1A2B", "TVL-00FF" }));
    EXPECT_EQ (type.getDeviceNames (true), type.getDeviceNames());

    std::unique_ptr<juce::AudioIODevice> device (type.createDevice ("TVL-00FF", "TVL-00FF"));
    ASSERT_NE (device, nullptr);
    EXPECT_EQ (device->getName(), "TVL-00FF");
    EXPECT_EQ (device->getTypeName(), SimulatedAudioIODeviceType::typeName);
    EXPECT_EQ (type.getIndexOfDevice (device.get(), false), 1);
    EXPECT_EQ (device->getInputChannelNames().size(), 2);
    EXPECT_EQ (device->getOutputChannelNames().size(), 2);

    EXPECT_EQ (type.createDevice ("TVL-9999", {}), nullptr);

    type.removePedal ("TVL-1A2B");
    type.scanForDevices();
    EXPECT_EQ (type.getDeviceNames(), juce::StringArray ({ "TVL-00FF" }));
}

TEST (SimulatedAudioIODeviceTest, WhatGoesOutComesBackOneBlockPlusTheConverterLatencyLater)
{
    struct Case { int blockSize; int converterLatency; };

    for (const auto c : { Case { 512, 40 }, Case { 64, 0 }, Case { 128, 300 } })
    {
        SimulatedAudioIODevice::Options options;
        options.converterLatency = c.converterLatency;
        options.pacing = SimulatedAudioIODevice::Pacing::external;
        SimulatedAudioIODevice device ("TVL-1A2B", "sim", options);
        device.getModel().getParameters().passThrough = true;

        ASSERT_EQ (device.open (3, 3, 44100.0, c.blockSize), juce::String());
        EXPECT_EQ (device.getCurrentBufferSizeSamples(), c.blockSize);
        EXPECT_EQ (device.getCurrentSampleRate(), 44100.0);

        EchoCallback callback;
        device.start (&callback);
        for (int i = 0; i < 10; ++i)
            device.renderNextBlock();
        device.stop();

        EXPECT_EQ (callback.echoAt, c.blockSize + c.converterLatency);
        EXPECT_EQ (callback.starts, 1);
        EXPECT_EQ (callback.stops, 1);
    }
}

TEST (SimulatedAudioIODeviceTest, ItsOwnThreadCallsBackUntilStopped)
{
    SimulatedAudioIODevice device ("TVL-1A2B", "sim", {});
    ASSERT_TRUE (device.open (3, 3, 48000.0, 256).isEmpty());

    EchoCallback callback;
    device.start (&callback);
    EXPECT_TRUE (device.isPlaying());

    const auto end = juce::Time::getMillisecondCounter() + 5000;
    while (callback.callbacks.load() < 10 && juce::Time::getMillisecondCounter() < end)
        juce::Thread::sleep (5);

    device.stop();
    EXPECT_GE (callback.callbacks.load(), 10);
    EXPECT_FALSE (device.isPlaying());

    const int afterStop = callback.callbacks.load();
    juce::Thread::sleep (30);
    EXPECT_EQ (callback.callbacks.load(), afterStop);
}
