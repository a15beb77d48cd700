#include "VirtualTimeDriver.h"

VirtualTimeDriver::VirtualTimeDriver (AudioIODeviceSource& streamToDrive, const Options& optionsToUse)
    : stream (streamToDrive),
      options (optionsToUse),
      random (optionsToUse.seed)
{
    stream.setClock (this);
    nextFast = secondsToTicks (AudioIODeviceSource::restartIntervalMs / 1000.0);
    nextSlow = secondsToTicks (AudioIODeviceSource::fillControlIntervalMs / 1000.0);
}

VirtualTimeDriver::~VirtualTimeDriver()
{
    stream.setClock (nullptr);
}

void VirtualTimeDriver::prepare (double newSampleRate, int newHostBlockSize)
{
    sampleRate = newSampleRate;
    hostBlockSize = newHostBlockSize;
    hostBlock.setSize (2, hostBlockSize);
    hostGrid = getTime();
    nextHost = now;

    if (hostProcess == nullptr)
        stream.prepareToPlay (hostBlockSize, sampleRate);
}

void VirtualTimeDriver::scheduleDevice (SimulatedAudioIODevice* device)
{
    // A device that was (re)opened or (re)started begins its own clock from now.
    scheduledDevice = device;

    if (device == nullptr || ! device->isPlaying())
    {
        scheduledBlockSize = 0;
        nextDevice = -1;
        return;
    }

    scheduledBlockSize = device->getCurrentBufferSizeSamples();
    scheduledRate = device->getClockRate();
    deviceGrid = getTime();
    nextDevice = now;
}

void VirtualTimeDriver::run (double seconds)
{
    const auto end = now + secondsToTicks (seconds);

    for (;;)
    {
        auto* device = dynamic_cast<SimulatedAudioIODevice*> (stream.getAudioIODevice());
        jassert (device == nullptr || device->getOptions().pacing == SimulatedAudioIODevice::Pacing::external);

        const bool deviceChanged = device != scheduledDevice
                                || (device != nullptr && (device->isPlaying() != (nextDevice >= 0)
                                                          || device->getCurrentBufferSizeSamples() != scheduledBlockSize
                                                          || device->getClockRate() != scheduledRate));
        if (deviceChanged)
            scheduleDevice (device);

        // The earliest event goes first; at equal times timers, then the device, then the host.
        auto next = juce::jmin (nextFast, nextSlow, nextHost);
        if (nextDevice >= 0)
            next = juce::jmin (next, nextDevice);

        if (next > end)
            break;

        now = next;

        if (options.runTimers && now == nextSlow)
        {
            stream.timerCallback (AudioIODeviceSource::fillControlTimerId);
            if (afterTimer) afterTimer (AudioIODeviceSource::fillControlTimerId);
            nextSlow += secondsToTicks (AudioIODeviceSource::fillControlIntervalMs / 1000.0);
        }
        else if (now == nextSlow)
        {
            nextSlow += secondsToTicks (AudioIODeviceSource::fillControlIntervalMs / 1000.0);
        }
        else if (now == nextFast)
        {
            if (options.runTimers)
            {
                stream.timerCallback (AudioIODeviceSource::restartTimerId);
                if (afterTimer) afterTimer (AudioIODeviceSource::restartTimerId);
            }
            nextFast += secondsToTicks (AudioIODeviceSource::restartIntervalMs / 1000.0);
        }
        else if (now == nextDevice)
        {
            device->renderNextBlock();
            ++deviceBlocks;
            deviceGrid += (double) scheduledBlockSize / scheduledRate;
            const double late = device->nextJitter() * (double) scheduledBlockSize / scheduledRate;
            nextDevice = juce::jmax (now + 1, secondsToTicks (deviceGrid + late));
        }
        else
        {
            if (hostCalling)
            {
                const auto first = hostSamples;
                if (beforeHostBlock) beforeHostBlock (hostBlock, first);
                if (hostProcess != nullptr)
                    hostProcess (hostBlock);
                else
                    stream.getNextAudioBlock (juce::AudioSourceChannelInfo (&hostBlock, 0, hostBlockSize));
                if (afterHostBlock) afterHostBlock (hostBlock, first);
                ++hostBlocks;
            }

            hostSamples += hostBlockSize;
            hostGrid += (double) hostBlockSize / sampleRate;
            const double late = options.hostJitter > 0.0 ? options.hostJitter * random.nextDouble() * (double) hostBlockSize / sampleRate : 0.0;
            nextHost = juce::jmax (now + 1, secondsToTicks (hostGrid + late));
        }
    }

    now = end;
}
