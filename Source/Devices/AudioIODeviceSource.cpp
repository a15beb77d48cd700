#include "AudioIODeviceSource.h"

namespace
{
    class HighResolutionClock : public AudioIODeviceSource::Clock
    {
    public:
        juce::int64 getTicks() noexcept override           { return juce::Time::getHighResolutionTicks(); }
        juce::int64 getTicksPerSecond() noexcept override  { return juce::Time::getHighResolutionTicksPerSecond(); }
    };

    HighResolutionClock highResolutionClock;

    /** Marks an audio callback as inside the stream for as long as it runs. The flag is raised
        before the callback reads the stream state, so a thread that stops the stream and then
        sees the flag down knows that no callback can still act on the state it replaced. */
    struct ScopedInside
    {
        explicit ScopedInside (std::atomic<bool>& f) noexcept : flag (f)   { flag.store (true); }
        ~ScopedInside() noexcept                                           { flag.store (false); }
        std::atomic<bool>& flag;
    };

    /** Moves the state from streaming to an error state, but never over a stop from outside. */
    void leaveStreaming (std::atomic<int>& state, int errorState) noexcept
    {
        int expected = AudioIODeviceSource::streaming;
        state.compare_exchange_strong (expected, errorState);
    }
}

//==============================================================================
// Audio thread.
void AudioIODeviceSource::CallbackWatch::tick (juce::int64 now) noexcept
{
    if (lastTime < 0)
    {
        lastTime = now;
        return;
    }

    const auto interval = now - lastTime;
    lastTime = now;
    irregular.store (interval < minInterval || interval > maxInterval);
}

//==============================================================================
AudioIODeviceSource::AudioIODeviceSource (Supervision supervision)
{
    if (supervision == Supervision::ownTimers)
    {
        startTimer (fillControlTimerId, fillControlIntervalMs);
        startTimer (restartTimerId, restartIntervalMs);
    }
}

AudioIODeviceSource::~AudioIODeviceSource()
{
    stopTimer (fillControlTimerId);
    stopTimer (restartTimerId);
    stopTimer (latencyTimerId);
    stopStreaming();

    if (audioDevice != nullptr)
        audioDevice->stop();

    audioDevice.reset();
}

AudioIODeviceSource::Clock& AudioIODeviceSource::getClock() const noexcept
{
    auto* c = clock.load();
    return c != nullptr ? *c : highResolutionClock;
}

void AudioIODeviceSource::setClock (Clock* newClock)
{
    clock.store (newClock);
    waitForCallbacksToLeave();
}

void AudioIODeviceSource::setDeviceHook (DeviceHook* newHook)
{
    deviceHook.store (newHook);
    waitForCallbacksToLeave();
}

void AudioIODeviceSource::setPedalSettings (const PedalSettings& settings)
{
    pendingSetup.deviceBlockSize = settings.blockSize;
    pendingSetup.outAdjust = settings.outAdjust;
    pendingSetup.inAdjust = settings.inAdjust;
    pendingSetup.extraLatency = settings.extraLatency;
}

//==============================================================================
void AudioIODeviceSource::stopStreaming() noexcept
{
    streamState.store (stopped);
    waitForCallbacksToLeave();
}

void AudioIODeviceSource::waitForCallbacksToLeave() const noexcept
{
    // A callback that read the old state just before it was replaced finishes its block within
    // microseconds; the stream itself never waits on an audio thread for anything else.
    while (hostInside.load() || deviceInside.load())
        juce::Thread::yield();
}

void AudioIODeviceSource::resetStreaming()
{
    jassert (streamState.load() == stopped);
    waitForCallbacksToLeave();

    for (auto* ring : { &toPedal, &fromPedal })
    {
        ring->reset();
        ring->clear();
    }

    for (auto* control : { &out, &in })
    {
        control->correction = 0.0f;
        control->smoothedFill = 0.0f;
        control->minFill.take();
    }

    hostWatch.irregular.store (false);
    deviceWatch.irregular.store (false);
}

void AudioIODeviceSource::restart()
{
    stopStreaming();
    resetStreaming();
    ++restartCount;
    streamState.store (starting);
}

//==============================================================================
void AudioIODeviceSource::prepareToPlay (int samplesPerBlockExpected, double sampleRate)
{
    if (streamState.load() == stopped)
        resetStreaming();

    pendingSetup.sampleRate = sampleRate;
    pendingSetup.hostBlockSize = samplesPerBlockExpected;
    updateAudioParameters (true);
}

void AudioIODeviceSource::releaseResources()
{
    streamState.store (stopped);
}

void AudioIODeviceSource::setTargets (FillControl& control, int adjust, int hostBlock, int deviceBlock)
{
    const int largest = juce::jmax (hostBlock, deviceBlock);
    control.targetFill = (int) ((float) adjust * (float) largest + (float) (hostBlock + deviceBlock));
    control.fillRange = juce::jmin (control.targetFill / 2, 3 * largest);

    // The restart threshold must be reached before the writer's all-or-nothing writes start to
    // fail: leave a block of each side free below the 32767 samples a ring can queue.
    const int ceiling = ringSize - 1 - (hostBlock + deviceBlock);
    control.maxFill = juce::jmin (maxFillFactor * control.targetFill, ceiling);
}

void AudioIODeviceSource::setWindow (CallbackWatch& watch, int blockSize, double sampleRate, juce::int64 ticksPerSecond)
{
    const double nominal = (double) blockSize / sampleRate;
    watch.minInterval = (juce::int64) (0.75 * nominal * (double) ticksPerSecond);
    watch.maxInterval = (juce::int64) (1.25 * nominal * (double) ticksPerSecond);
}

juce::String AudioIODeviceSource::checkSetup() const
{
    const int h = activeSetup.hostBlockSize;
    const int d = activeSetup.getEffectiveDeviceBlockSize();

    if (h <= 0 || d <= 0 || activeSetup.sampleRate <= 0.0)
        return "no block size or sample rate";

    // Each ring needs room for its target fill, the controller's range above it, a block of each
    // side on top, and the same again below the restart threshold.
    for (const auto* control : { &out, &in })
        if (control->targetFill + control->fillRange + 2 * (h + d) > ringSize - 1)
            return "blocks of " + juce::String (h) + " (host) and " + juce::String (d)
                 + " (device) samples need more buffering than the rings hold";

    // The processor delays its dry path by the total latency in a ring of the same size.
    if (h + getTotalLatency() > maxDelayedBlock)
        return "a latency of " + juce::String (getTotalLatency()) + " samples with blocks of "
             + juce::String (h) + " samples does not fit the dry delay";

    return {};
}

void AudioIODeviceSource::updateAudioParameters (bool openDevice)
{
    if (pendingSetup.sampleRate <= 0.0 || pendingSetup.hostBlockSize <= 0)
        return;

    stopStreaming();
    resetStreaming();

    const bool rateChanged = pendingSetup.sampleRate != activeSetup.sampleRate;
    const bool blockChanged = pendingSetup.getEffectiveDeviceBlockSize() != activeSetup.getEffectiveDeviceBlockSize();

    if ((rateChanged || blockChanged) && audioDevice != nullptr && audioDevice->isOpen())
    {
        audioDevice->stop();
        audioDevice->close();
    }

    activeSetup = pendingSetup;

    const int h = activeSetup.hostBlockSize;
    const int d = activeSetup.getEffectiveDeviceBlockSize();
    const double sr = activeSetup.sampleRate;
    const auto ticksPerSecond = getClock().getTicksPerSecond();

    setWindow (hostWatch, h, sr, ticksPerSecond);
    setWindow (deviceWatch, d, sr, ticksPerSecond);
    setTargets (out, activeSetup.outAdjust, h, d);
    setTargets (in, activeSetup.inAdjust, h, d);

    const int rampLength = (int) std::floor (0.1 * sr);
    toPedal.setRampLength (rampLength);
    fromPedal.setRampLength (rampLength);

    setupProblem = checkSetup();

    if (openDevice && audioDevice != nullptr)
    {
        if (! audioDevice->isOpen())
        {
            juce::BigInteger ins, outs;
            ins.setBitRangeAsInt (0, 32, (juce::uint32) inputChannels);
            outs.setBitRangeAsInt (0, 32, (juce::uint32) outputChannels);
            audioDevice->open (ins, outs, sr, d);
        }

        if (audioDevice->isOpen())
            audioDevice->start (this);
    }

    if (audioDevice != nullptr && audioDevice->isOpen() && setupProblem.isEmpty())
    {
        int expected = stopped;
        streamState.compare_exchange_strong (expected, starting);
    }
}

bool AudioIODeviceSource::setAudioIODevice (juce::AudioIODevice* newDevice)
{
    if (newDevice == audioDevice.get())
        return newDevice != nullptr && newDevice->isOpen();

    stopStreaming();

    if (audioDevice != nullptr)
    {
        audioDevice->stop();
        audioDevice.reset();
    }

    resetStreaming();
    audioDevice.reset (newDevice);

    if (newDevice == nullptr)
        return false;

    updateAudioParameters (true);
    return audioDevice->isOpen();
}

int AudioIODeviceSource::getTotalLatency() const noexcept
{
    return out.targetFill + in.targetFill + activeSetup.extraLatency + fixedLatency;
}

//==============================================================================
// Host audio thread.
void AudioIODeviceSource::getNextAudioBlock (const juce::AudioSourceChannelInfo& info) noexcept
{
    const juce::ScopedNoDenormals noDenormals;
    const ScopedInside inside (hostInside);

    int state = streamState.load();

    if (state == deviceRunning)
    {
        // First host block after the device started: place both fills at their targets before
        // the device can see the streaming state, then publish it.
        fromPedal.setReadIndex (fromPedal.offsetIndex (fromPedal.getWriteIndex(), -in.targetFill));
        toPedal.setWriteIndex (toPedal.offsetIndex (toPedal.getReadIndex(), out.targetFill));
        streamState.compare_exchange_strong (state, streaming);
        info.clearActiveBufferRegion();
        return;
    }

    if (state != streaming)
    {
        info.clearActiveBufferRegion();
        return;
    }

    hostWatch.tick (getClock().getTicks());

    toPedal.writeBuffer (info, true);   // an overfull ring is caught by the device side's fill check

    if (! fromPedal.readBuffer (info, true))
        leaveStreaming (streamState, hostUnderrun);

    const int fill = fromPedal.numReadable();

    if (! hostWatch.irregular.load() && ! deviceWatch.irregular.load())
        in.minFill.update (fill);

    if (fill <= 0 || fill >= in.maxFill)
        leaveStreaming (streamState, fromPedalOutOfRange);
}

// Device audio thread.
void AudioIODeviceSource::audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputs,
                                                            float* const* outputs, int numOutputs, int numSamples,
                                                            const juce::AudioIODeviceCallbackContext&) noexcept
{
    const juce::ScopedNoDenormals noDenormals;
    const ScopedInside inside (deviceInside);

    // A device without outputs may pass no channel array at all.
    static float* const noChannels[1] = { nullptr };
    juce::AudioBuffer<float> output (outputs != nullptr ? outputs : noChannels,
                                     outputs != nullptr ? numOutputs : 0, numSamples);
    auto* hook = deviceHook.load();
    const int state = streamState.load();

    if (state == stopped)
    {
        output.clear();
    }
    else
    {
        deviceWatch.tick (getClock().getTicks());

        const bool measuring = hook != nullptr && hook->isMeasuring();
        fromPedal.writeBuffer (measuring ? nullptr : inputs, measuring ? 0 : numInputs, numSamples, 0,
                               state == streaming);

        if (streamState.load() == streaming)
        {
            if (! toPedal.readBuffer (outputs, numOutputs, numSamples, 0, state == streaming))
                leaveStreaming (streamState, deviceUnderrun);
        }
        else
        {
            output.clear();
        }

        int expected = starting;
        streamState.compare_exchange_strong (expected, deviceRunning);

        if (streamState.load() == streaming)
        {
            const int fill = toPedal.numReadable();

            if (! hostWatch.irregular.load() && ! deviceWatch.irregular.load())
                out.minFill.update (fill);

            if (fill <= 0 || fill >= out.maxFill)
                leaveStreaming (streamState, toPedalOutOfRange);
        }
    }

    if (hook != nullptr)
        hook->deviceCallbackFinished (inputs, numInputs, output);
}

//==============================================================================
void AudioIODeviceSource::updateCorrection (FillControl& control)
{
    const int minimum = control.minFill.take();

    if (minimum < 0 || control.fillRange <= 0)
        return;   // no regular callback since the last look: the correction stays

    control.smoothedFill = (float) ((double) ((float) minimum * control.smoothing)
                                    + (1.0 - (double) control.smoothing) * (double) control.smoothedFill);

    const float error = juce::jlimit (-1.0f, 1.0f, ((float) control.targetFill - control.smoothedFill) / (float) control.fillRange);
    control.correction = error * maxCorrection;
}

void AudioIODeviceSource::timerCallback (int timerId)
{
    if (timerId == latencyTimerId)
        return;   // the latency detector's

    if (timerId == restartTimerId && streamState.load() <= streaming)
        return;

    updateCorrection (out);
    updateCorrection (in);

    if (streamState.load() > streaming)
    {
        restart();
        return;
    }

    toPedal.setTargetRatio ((double) (1.0f - out.correction));
    fromPedal.setTargetRatio ((double) (1.0f - in.correction));
}
