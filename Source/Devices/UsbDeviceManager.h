#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include "Platform/Platform.h"
#include "Utilities/AudioValueTreeState.h"

/** Orders pedals by name (character codes); an equal name goes after the ones already there. */
struct UsbDeviceSorter
{
    template <typename DeviceType>
    static int compareElements (const DeviceType* a, const DeviceType* b)
    {
        return a->getName().compare (b->getName());
    }
};

/** The process-wide list of connected devices of one kind, shared by every plug-in instance
    through juce::SharedResourcePointer (created by the first instance, destroyed with the last).

    It scans on a message-thread timer (first after 50 ms, then every second), keeps one device
    object per pedal whose MIDI input, MIDI output and (when the kind needs one) audio device all
    carry the pedal's name, tells its listeners when a pedal is found or gone, and loads and saves
    each pedal's settings file ("<name>-settings.xml" in the settings folder).

    DeviceType provides: extractDeviceName (portName), requiresAudioDevice, a constructor
    (name, input port, output port, MidiPorts&), getName() and getSettingsTree().
*/
template <typename DeviceType>
class UsbBaseDeviceManager : private juce::Timer
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void deviceAdded (DeviceType*) {}
        virtual void deviceRemoved (DeviceType*) {}
    };

    static constexpr int firstScanMs = 50;
    static constexpr int scanIntervalMs = 1000;

    explicit UsbBaseDeviceManager (MidiPorts& platformToUse = Platform::getInstance())
        : platform (platformToUse)
    {
        startTimer (firstScanMs);
    }

    ~UsbBaseDeviceManager() override
    {
        stopTimer();

        for (auto* device : devices)
            saveSettings (device);

        devices.clear();
    }

    void addListener (Listener* listener)       { listeners.addIfNotAlreadyThere (listener); }
    void removeListener (Listener* listener)    { listeners.removeAllInstancesOf (listener); }
    int getNumListeners() const noexcept        { return listeners.size(); }

    void setSettingsPath (const juce::String& path)             { settingsPath = path; }
    const juce::String& getSettingsPath() const noexcept        { return settingsPath; }
    void setDefaultSettings (const juce::ValueTree& settings)   { defaultSettings = settings; }
    const juce::ValueTree& getDefaultSettings() const noexcept  { return defaultSettings; }

    const juce::OwnedArray<DeviceType>& getDevices() const noexcept   { return devices; }

    DeviceType* findDevice (const juce::String& name) const
    {
        for (auto* d : devices)
            if (d->getName() == name)
                return d;

        return nullptr;
    }

    bool hasScannedOnce() const noexcept   { return scannedOnce; }

    /** The timer's work: one scan (tests may call it). */
    void timerCallback() override
    {
        scanForDevices();

        if (! scannedOnce)
        {
            scannedOnce = true;
            startTimer (scanIntervalMs);
        }
    }

    void scanForDevices()
    {
        const auto inputs = platform.getInputs();
        const auto outputs = platform.getOutputs();
        juce::Array<DeviceType*> notSeen (devices.begin(), devices.size());
        juce::StringArray audioNames;
        bool audioScanned = false;

        for (const auto& input : inputs)
        {
            const auto name = DeviceType::extractDeviceName (input.name);

            if (name.isEmpty())
                continue;

            const juce::MidiDeviceInfo* output = nullptr;

            for (const auto& o : outputs)
            {
                if (DeviceType::extractDeviceName (o.name) == name)
                {
                    output = &o;
                    break;
                }
            }

            if (output == nullptr)
                continue;

            if (DeviceType::requiresAudioDevice)
            {
                if (! audioScanned)
                {
                    // One device type for the scan, asked once, then destroyed again.
                    if (auto type = platform.createAudioDeviceType())
                    {
                        type->scanForDevices();
                        audioNames = type->getDeviceNames (false);
                    }

                    audioScanned = true;
                }

                if (! audioNames.contains (name))
                    continue;
            }

            auto* device = findDevice (name);

            if (device == nullptr)
            {
                static const UsbDeviceSorter sorter;
                device = new DeviceType (name, input, *output, platform);
                devices.addSorted (sorter, device);
                loadSettings (device);

                for (int i = listeners.size(); --i >= 0;)
                    listeners.getUnchecked (i)->deviceAdded (device);
            }

            notSeen.removeFirstMatchingValue (device);
        }

        for (auto* gone : notSeen)
        {
            saveSettings (gone);

            for (int i = listeners.size(); --i >= 0;)
                listeners.getUnchecked (i)->deviceRemoved (gone);

            devices.removeObject (gone);
        }
    }

    juce::File getSettingsFile (DeviceType* device) const
    {
        if (settingsPath.isEmpty())
            return {};

        return juce::File (settingsPath).getChildFile (device->getName() + "-settings.xml");
    }

    /** Writes the device's settings file, or deletes it when no setting was ever set. */
    void saveSettings (DeviceType* device)
    {
        const auto file = getSettingsFile (device);

        if (file == juce::File())
            return;

        auto& tree = device->getSettingsTree();

        if (tree.getNumProperties() > 0)
        {
            if (auto xml = tree.createXml())
            {
                juce::XmlElement::TextFormat format;
                format.lineWrapLength = 60;
                format.newLineChars = "\r\n";
                xml->writeTo (file, format);
            }
        }
        else
        {
            file.deleteFile();
        }
    }

private:
    void loadSettings (DeviceType* device)
    {
        const auto file = getSettingsFile (device);

        if (file == juce::File() || ! file.existsAsFile())
            return;

        if (auto xml = juce::parseXML (file))
        {
            const auto loaded = juce::ValueTree::fromXml (*xml);

            if (loaded.hasType (ID::DEVICE))
                device->getSettingsTree().copyPropertiesFrom (loaded, nullptr);
        }
    }

    MidiPorts& platform;
    bool scannedOnce = false;
    juce::Array<Listener*> listeners;
    juce::OwnedArray<DeviceType> devices;
    juce::String settingsPath;
    juce::ValueTree defaultSettings;

    JUCE_DECLARE_NON_COPYABLE (UsbBaseDeviceManager)
};
