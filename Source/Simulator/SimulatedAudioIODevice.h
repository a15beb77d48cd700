#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include "FuzzModel.h"
#include "Utilities/CircularAudioBuffer.h"

/** The simulated pedal's USB audio device: two inputs, two outputs, its own clock.

    It opens at whatever sample rate and buffer size it is asked for. Its clock runs at the
    nominal rate times (1 + ppm offset), with optional jitter of each callback's timing. What it
    delivers at its inputs is what the pedal (a FuzzModel) made of what the callback wrote to its
    outputs, one device block plus a converter latency later.

    With Pacing::ownThread it calls its callback from a thread of its own, paced by its clock.
    With Pacing::external nothing runs by itself: a driver (the virtual-time driver) calls
    renderNextBlock() at the moments the device clock dictates.
*/
class SimulatedAudioIODevice : public juce::AudioIODevice,
                               private juce::Thread
{
public:
    enum class Pacing { ownThread, external };

    struct Options
    {
        double ppmOffset = 0.0;        ///< clock error of the device against the nominal rate
        double jitter = 0.0;           ///< each callback comes up to this fraction of a period late
        int converterLatency = 40;     ///< samples beyond one device block
        Pacing pacing = Pacing::ownThread;
        juce::int64 seed = 1;
    };

    static constexpr int numChannels = 2;
    static constexpr int maxBufferSize = 8192;

    SimulatedAudioIODevice (const juce::String& deviceName, const juce::String& typeName,
                            const Options& options,
                            std::shared_ptr<FuzzModel::Parameters> pedalParameters = std::make_shared<FuzzModel::Parameters>());
    ~SimulatedAudioIODevice() override;

    //==============================================================================
    juce::StringArray getOutputChannelNames() override;
    juce::StringArray getInputChannelNames() override;
    juce::Array<double> getAvailableSampleRates() override;
    juce::Array<int> getAvailableBufferSizes() override;
    int getDefaultBufferSize() override   { return 512; }

    juce::String open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                       double sampleRate, int bufferSizeSamples) override;
    void close() override;
    bool isOpen() override                 { return opened; }
    void start (juce::AudioIODeviceCallback* callback) override;
    void stop() override;
    bool isPlaying() override              { return currentCallback.load() != nullptr; }
    juce::String getLastError() override   { return lastError; }

    int getCurrentBufferSizeSamples() override   { return bufferSize; }
    double getCurrentSampleRate() override       { return sampleRate; }
    int getCurrentBitDepth() override            { return 24; }
    juce::BigInteger getActiveOutputChannels() const override   { return activeOutputs; }
    juce::BigInteger getActiveInputChannels() const override    { return activeInputs; }
    int getOutputLatencyInSamples() override     { return options.converterLatency / 2; }
    int getInputLatencyInSamples() override      { return options.converterLatency - options.converterLatency / 2; }

    //==============================================================================
    /** The device clock's real rate: the nominal rate times (1 + ppm offset). */
    double getClockRate() const noexcept   { return sampleRate * (1.0 + options.ppmOffset * 1.0e-6); }

    /** How late the next callback comes, as a fraction of a period (0 without jitter). */
    double nextJitter() noexcept;

    /** Runs one device block: inputs from the pedal, the callback, outputs into the pedal.
        Called by the device's thread, or by an external driver with Pacing::external. */
    void renderNextBlock() noexcept;

    const Options& getOptions() const noexcept   { return options; }
    FuzzModel& getModel() noexcept                { return model; }
    juce::int64 getBlocksRendered() const noexcept   { return blocksRendered.load(); }
    int getOpenCount() const noexcept                { return openCount; }

private:
    void run() override;

    Options options;
    FuzzModel model;
    juce::Random random;
    juce::String lastError;
    juce::BigInteger activeInputs, activeOutputs;
    double sampleRate = 48000.0;
    int bufferSize = 512;
    bool opened = false;
    int openCount = 0;

    std::atomic<juce::AudioIODeviceCallback*> currentCallback { nullptr };
    std::atomic<juce::int64> blocksRendered { 0 };
    juce::AudioBuffer<float> inputBlock, outputBlock;
    CircularAudioBuffer returnPath { numChannels, 2 * maxBufferSize + 16384 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SimulatedAudioIODevice)
};
