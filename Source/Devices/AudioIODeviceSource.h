#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include "Utilities/AtomicMinimum.h"
#include "Utilities/ResamplingCircularAudioBuffer.h"

/** The audio stream between the host and the pedal's USB audio device.

    It is an AudioSource whose getNextAudioBlock runs on the host's audio thread and an
    AudioIODeviceCallback run by the pedal device's own audio thread. Because the two run on
    independent clocks, audio crosses between them through two resampling rings: toPedal (host
    writes, device reads) and fromPedal (device writes, host reads). Each ring starts at a target
    fill; once a second a controller nudges the reader's ratio by at most 1e-4 so that the
    smallest fill seen during the last second stays near the target. Underruns and fills out of
    range make the stream restart itself; timers on the message thread supervise it.

    States: stopped (0) -> starting (1, device open and started) -> deviceRunning (2, first device
    callback) -> streaming (3, first host block, which places both fills at their targets); from
    streaming, hostUnderrun (4), deviceUnderrun (5), fromPedalOutOfRange (6) or toPedalOutOfRange
    (7), which the next timer tick turns back into stopped, a reset, and starting.

    Large blocks: a ring queues at most 32767 samples, and the processor delays its dry path by
    the total latency in a ring of the same size. A setup is refused (the stream stays stopped
    and getSetupProblem() says why) unless, for each ring, targetFill + fillRange + 2 × (H + D)
    <= 32767, and H + total latency <= 32767 (H, D: host and device block sizes). The restart
    threshold maxFill is 8 × targetFill, but never more than 32767 - (H + D), so that it is met
    before the writer's all-or-nothing writes would fail. With D = H, every setting fits up to
    H = 2521, the default settings up to 3855, and no extra buffering or latency up to 4681.
*/
class AudioIODeviceSource : public juce::AudioSource,
                            public juce::AudioIODeviceCallback,
                            public juce::MultiTimer
{
public:
    enum StreamState
    {
        stopped             = 0,
        starting            = 1,
        deviceRunning       = 2,
        streaming           = 3,
        hostUnderrun        = 4,
        deviceUnderrun      = 5,
        fromPedalOutOfRange = 6,
        toPedalOutOfRange   = 7
    };

    enum TimerIds
    {
        fillControlTimerId = 0,   ///< every second: fill control, and restart after an error
        restartTimerId     = 1,   ///< every 100 ms: restart after an error
        latencyTimerId     = 2    ///< every 100 ms while a latency measurement runs
    };

    static constexpr int fillControlIntervalMs = 1000;
    static constexpr int restartIntervalMs = 100;
    static constexpr int ringSize = 32768;
    static constexpr int fixedLatency = 71;           ///< converter and USB frame latency not measured by the rings
    static constexpr float maxCorrection = 1.0e-4f;
    static constexpr float fillSmoothing = 0.3f;
    static constexpr int maxFillFactor = 8;

    /** The setup the stream runs with. */
    struct Setup
    {
        double sampleRate = 44100.0;
        int hostBlockSize = 0;
        int deviceBlockSize = 0;   ///< 0: the same as the host block size
        int inAdjust = 0;          ///< extra blocks of buffering in fromPedal
        int outAdjust = 1;         ///< extra blocks of buffering in toPedal
        int extraLatency = 0;      ///< measured round trip of the device, in samples

        int getEffectiveDeviceBlockSize() const noexcept   { return deviceBlockSize != 0 ? deviceBlockSize : hostBlockSize; }
    };

    /** The per-pedal settings the stream uses ("blockSize", "outAdjust", "inAdjust", "extraLatency"). */
    struct PedalSettings
    {
        int blockSize = 0;
        int outAdjust = 1;
        int inAdjust = 0;
        int extraLatency = 0;
    };

    /** Control of one ring's fill. The targets are set while the stream is stopped; correction and
        smoothedFill belong to the message thread; minFill is the audio thread's hand-over. */
    struct FillControl
    {
        AtomicMinimum minFill;
        float correction = 0.0f;
        float smoothedFill = 0.0f;
        float smoothing = fillSmoothing;
        int targetFill = 0;
        int fillRange = 0;
        int maxFill = 0;
    };

    /** Timing of one side's callbacks, in clock ticks. */
    struct CallbackWatch
    {
        /** Audio thread: records a callback and flags it irregular when the interval since the
            previous one lies outside the window. */
        void tick (juce::int64 now) noexcept;

        juce::int64 lastTime = -1;
        juce::int64 minInterval = 0;
        juce::int64 maxInterval = 0;
        std::atomic<bool> irregular { false };
    };

    /** The time source of the callback watches: high-resolution ticks by default; tests and the
        virtual-time driver give their own. */
    class Clock
    {
    public:
        virtual ~Clock() = default;
        virtual juce::int64 getTicks() noexcept = 0;
        virtual juce::int64 getTicksPerSecond() noexcept = 0;
    };

    /** Work that runs inside the device callback (the latency detector). */
    class DeviceHook
    {
    public:
        virtual ~DeviceHook() = default;

        /** Device thread, at the start of a callback: true while the device's input must be
            replaced by silence on its way to the host. */
        virtual bool isMeasuring() const noexcept = 0;

        /** Device thread, at the end of every callback, after the stream's own work. */
        virtual void deviceCallbackFinished (const float* const* inputs, int numInputs,
                                             juce::AudioBuffer<float>& outputs) noexcept = 0;
    };

    /** Whether the stream starts its own supervision timers, or a test runs timerCallback itself. */
    enum class Supervision { ownTimers, manual };

    explicit AudioIODeviceSource (Supervision supervision = Supervision::ownTimers);
    ~AudioIODeviceSource() override;

    //==============================================================================
    void prepareToPlay (int samplesPerBlockExpected, double sampleRate) override;
    void releaseResources() override;

    /** Host audio thread: replaces the region with the pedal's audio and queues the host's. */
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& info) noexcept override;

    /** Device audio thread. */
    void audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputs,
                                           float* const* outputs, int numOutputs, int numSamples,
                                           const juce::AudioIODeviceCallbackContext& context) noexcept override;
    void audioDeviceAboutToStart (juce::AudioIODevice*) override {}
    void audioDeviceStopped() override {}
    void audioDeviceError (const juce::String&) override {}

    /** Message thread: fill control (timer 0) and restart after errors (timers 0 and 1). */
    void timerCallback (int timerId) override;

    //==============================================================================
    /** Back to the initial streaming state: ratios 1.0, empty rings with cleared storage, fresh
        fill controls. Only with the stream stopped; waits until no audio callback is inside the
        stream any more. */
    void resetStreaming();

    /** Applies the pending setup, recomputes the targets and, when asked, opens and starts the
        device. A setup whose fills do not fit the rings is refused: the stream stays stopped
        and getSetupProblem() says why. */
    void updateAudioParameters (bool openDevice);

    /** Hands the stream a new device (or none) and takes ownership of it; returns whether the
        device is open afterwards. */
    bool setAudioIODevice (juce::AudioIODevice* newDevice);
    juce::AudioIODevice* getAudioIODevice() const noexcept   { return audioDevice.get(); }

    /** Stores the pedal's settings in the pending setup; updateAudioParameters applies them. */
    void setPedalSettings (const PedalSettings& settings);

    /** Message thread: the clock of the watches (nullptr: high-resolution ticks; its tick rate
        is taken by the next updateAudioParameters) and the device hook (nullptr: none). Both wait
        until no callback is inside. */
    void setClock (Clock* newClock);
    void setDeviceHook (DeviceHook* newHook);

    //==============================================================================
    /** The stream's latency in samples: both target fills, the measured extra latency and 71. */
    int getTotalLatency() const noexcept;

    /** Empty when the active setup fits the rings and the processor's dry delay; otherwise why
        it was refused. */
    const juce::String& getSetupProblem() const noexcept   { return setupProblem; }

    /** The longest host block plus total latency the processor's dry delay can hold. */
    static constexpr int maxDelayedBlock = ringSize - 1;

    int getStreamState() const noexcept                    { return streamState.load(); }
    const Setup& getActiveSetup() const noexcept           { return activeSetup; }
    const Setup& getPendingSetup() const noexcept          { return pendingSetup; }
    const FillControl& getOutControl() const noexcept      { return out; }
    const FillControl& getInControl() const noexcept       { return in; }
    const ResamplingCircularAudioBuffer& getToPedal() const noexcept     { return toPedal; }
    const ResamplingCircularAudioBuffer& getFromPedal() const noexcept   { return fromPedal; }
    bool isHostIrregular() const noexcept     { return hostWatch.irregular.load(); }
    bool isDeviceIrregular() const noexcept   { return deviceWatch.irregular.load(); }

    /** Message thread: how many times the stream restarted itself after an error. */
    int getRestartCount() const noexcept      { return restartCount; }

    int inputChannels = 3;
    int outputChannels = 3;

private:
    void stopStreaming() noexcept;
    void waitForCallbacksToLeave() const noexcept;
    void restart();
    static void updateCorrection (FillControl& control);
    static void setTargets (FillControl& control, int adjust, int hostBlock, int deviceBlock);
    void setWindow (CallbackWatch& watch, int blockSize, double sampleRate, juce::int64 ticksPerSecond);
    juce::String checkSetup() const;
    Clock& getClock() const noexcept;

    Setup activeSetup;
    Setup pendingSetup;
    std::unique_ptr<juce::AudioIODevice> audioDevice;
    std::atomic<int> streamState { stopped };
    ResamplingCircularAudioBuffer fromPedal { 2, ringSize };
    ResamplingCircularAudioBuffer toPedal { 2, ringSize };
    FillControl out;
    FillControl in;
    CallbackWatch hostWatch;
    CallbackWatch deviceWatch;

    std::atomic<Clock*> clock { nullptr };
    std::atomic<DeviceHook*> deviceHook { nullptr };
    std::atomic<bool> hostInside { false };
    std::atomic<bool> deviceInside { false };
    juce::String setupProblem;
    int restartCount = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioIODeviceSource)
};
