#include "SimulatedAudioIODevice.h"
#include <chrono>
#include <thread>

SimulatedAudioIODevice::SimulatedAudioIODevice (const juce::String& deviceName, const juce::String& typeName,
                                                const Options& optionsToUse,
                                                std::shared_ptr<FuzzModel::Parameters> pedalParameters)
    : juce::AudioIODevice (deviceName, typeName),
      juce::Thread (deviceName + " audio"),
      options (optionsToUse),
      model (std::move (pedalParameters)),
      random (optionsToUse.seed)
{
    options.converterLatency = juce::jlimit (0, 16384, options.converterLatency);
    options.jitter = juce::jlimit (0.0, 1.0, options.jitter);
}

SimulatedAudioIODevice::~SimulatedAudioIODevice()
{
    close();
}

juce::StringArray SimulatedAudioIODevice::getOutputChannelNames()   { return { "Output 1", "Output 2" }; }
juce::StringArray SimulatedAudioIODevice::getInputChannelNames()    { return { "Input 1", "Input 2" }; }
juce::Array<double> SimulatedAudioIODevice::getAvailableSampleRates()   { return { 44100.0, 48000.0, 88200.0, 96000.0 }; }
juce::Array<int> SimulatedAudioIODevice::getAvailableBufferSizes()      { return { 32, 64, 128, 256, 512, 1024, 2048, 4096 }; }

juce::String SimulatedAudioIODevice::open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                                           double newSampleRate, int bufferSizeSamples)
{
    close();

    if (newSampleRate <= 0.0 || bufferSizeSamples <= 0 || bufferSizeSamples > maxBufferSize)
    {
        lastError = "unsupported sample rate or buffer size";
        return lastError;
    }

    sampleRate = newSampleRate;
    bufferSize = bufferSizeSamples;
    activeInputs = inputChannels;
    activeInputs.setRange (numChannels, juce::jmax (0, activeInputs.getHighestBit() + 1 - numChannels), false);
    activeOutputs = outputChannels;
    activeOutputs.setRange (numChannels, juce::jmax (0, activeOutputs.getHighestBit() + 1 - numChannels), false);

    inputBlock.setSize (numChannels, bufferSize);
    outputBlock.setSize (numChannels, bufferSize);
    model.prepare (sampleRate);

    // What the callback sends comes back one block plus the converter latency later.
    returnPath.reset();
    returnPath.clear();
    returnPath.writeBuffer (nullptr, 0, bufferSize + options.converterLatency, 0, true);

    lastError.clear();
    opened = true;
    ++openCount;
    return {};
}

void SimulatedAudioIODevice::close()
{
    stop();
    opened = false;
}

void SimulatedAudioIODevice::start (juce::AudioIODeviceCallback* callback)
{
    if (! opened || callback == nullptr)
        return;

    if (currentCallback.load() == callback)
        return;

    stop();
    callback->audioDeviceAboutToStart (this);
    currentCallback.store (callback);

    if (options.pacing == Pacing::ownThread)
        startThread (juce::Thread::Priority::high);
}

void SimulatedAudioIODevice::stop()
{
    if (options.pacing == Pacing::ownThread)
        stopThread (5000);

    if (auto* callback = currentCallback.exchange (nullptr))
        callback->audioDeviceStopped();
}

double SimulatedAudioIODevice::nextJitter() noexcept
{
    return options.jitter > 0.0 ? options.jitter * random.nextDouble() : 0.0;
}

// Device audio thread (or the external driver).
void SimulatedAudioIODevice::renderNextBlock() noexcept
{
    auto* callback = currentCallback.load();

    if (callback == nullptr)
        return;

    returnPath.readBuffer (inputBlock.getArrayOfWritePointers(), numChannels, bufferSize, 0, false);
    outputBlock.clear();

    callback->audioDeviceIOCallbackWithContext (inputBlock.getArrayOfReadPointers(), numChannels,
                                                outputBlock.getArrayOfWritePointers(), numChannels,
                                                bufferSize, {});

    model.process (outputBlock);
    returnPath.writeBuffer (outputBlock.getArrayOfReadPointers(), numChannels, bufferSize, 0, false);
    blocksRendered.fetch_add (1);
}

void SimulatedAudioIODevice::run()
{
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration<double> ((double) bufferSize / getClockRate());
    auto start = clock::now();
    juce::int64 block = 0;

    while (! threadShouldExit())
    {
        ++block;
        const auto due = start + std::chrono::duration_cast<clock::duration> (period * ((double) block + nextJitter()));

        // Sleep in slices so that stop() never waits long.
        while (clock::now() < due && ! threadShouldExit())
            std::this_thread::sleep_until (juce::jmin (due, clock::now() + std::chrono::milliseconds (20)));

        if (clock::now() - due > period * 8.0)
        {
            // Far behind (the machine stalled): count afresh rather than race to catch up.
            start = clock::now();
            block = 0;
        }

        if (! threadShouldExit())
            renderNextBlock();
    }
}
