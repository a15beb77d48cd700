#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include "PresetFormat.h"
#include "Slots.h"
#include "StateArbiter.h"
#include "Devices/PresetRecord.h"
#include "Devices/UsbDevice.h"
#include "Devices/UsbDeviceManager.h"
#include "Utilities/AudioValue.h"
#include "Utilities/AudioValueTreeState.h"
#include "Utilities/CircularAudioBuffer.h"
#include "Utilities/MessageThread.h"
#include "Utilities/VersionQueryController.h"

/** The object the host creates for each instance of the plug-in.

    It owns the parameter tree, the preset library, the comparison slots, the copy of the pedal's
    ten presets, the host-side audio bridge, the plug-in settings file and the online version
    check, and holds the pedal in use as its listener.
*/
class ThornvaleAudioProcessor : public juce::AudioProcessor,
                                public AudioValueTreeState::Listener,
                                public juce::MultiTimer,
                                public UsbDevice::Holder,
                                public UsbDevice::Listener,
                                public UsbBaseDeviceManager<UsbDevice>::Listener,
                                public juce::ChangeBroadcaster
{
public:
    using Parameter = AudioValueTreeState::Parameter;

    static constexpr int numHardwarePresets = PresetTable::numPresets;
    static constexpr int firstFactoryProgram = 1 + numHardwarePresets;   // 11

    enum TimerIds
    {
        takePendingDeviceTimer = 1,
        versionCheckTimer = 2
    };

    ThornvaleAudioProcessor();
    ~ThornvaleAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    UsbDevice* getDevice() override;

    void parameterChanged (Parameter* parameter, int value, int controllerNumber) override;
    bool updateExtraParameters() override;

    void incomingMidiMessage (UsbDevice*, const juce::MidiMessage&) override;
    void deviceStatusChanged (UsbDevice*) override;
    void deviceConnected (UsbDevice*) override;
    void deviceLatencyChanged (int) override;

    void deviceAdded (UsbDevice*) override;
    void deviceRemoved (UsbDevice*) override;

    void timerCallback (int timerId) override;

    //==============================================================================
    /** The XML document of a state blob, or nullptr when the blob is not one. */
    static std::unique_ptr<juce::XmlElement> readStateXml (const juce::MemoryBlock& blob);
    /** Well-formed UTF-8: complete, shortest-form sequences, no surrogates, nothing past U+10FFFF. */
    static bool isStrictUtf8 (const std::string& text);

    /** Applies a saved state blob (message thread). */
    void setMemBlockStateInformation (const juce::MemoryBlock& blob);

    /** Loads a program by number (message thread). */
    void setProgram (int program);
    /** Applies a preset's values and records which program is loaded (message thread). */
    void setProgram (const PresetFormat* preset, int program, const juce::String& name,
                     bool modified, int bypassState, bool keepSlots);
    int validateProgramIndex (int program, const juce::String& name) const;
    /** The current parameter values that belong to presets, as a preset object. */
    juce::var getParameters (const juce::String& name) const;
    using juce::AudioProcessor::getParameters;

    /** (Re)builds the user presets from the user folder and updates the program count. */
    void loadUserPresets();

    /** Writes a user preset and adds it to the list (replacing one of the same name, in any
        case). Returns its program number, or −1 when the file could not be written or lies
        outside the user folder; then nothing changes, on disk or in the list. */
    int saveUserPreset (juce::File file, std::unique_ptr<PresetFormat> preset);

    /** The file a user preset of that name is saved to: always directly inside the user folder,
        whatever the name holds. */
    static juce::File getUserPresetFile (const juce::String& presetName);

    // Comparison slots A (0) and B (1).
    void saveSlotAction (int slot);
    void recallSlotAction (int slot);
    void getParameters (Slot* slot);
    void setProgram (Slot* slot);
    const Slots& getSlots() const noexcept   { return slots; }

    /** Sends the whole state to the pedal in use; nothing happens while there is none. */
    void sendStateToDevice();

    /** Writes presets into the pedal (records with byte 0 = the destination slot); returns how
        many were sent. */
    int sendHardwarePresetsToDevice (const juce::Array<PRESET>& records, bool writeBack);

    /** Takes the pedal of that name in that mode (or changes the mode of the pedal in use). */
    void setUsbDevice (juce::StringRef name, UsbDevice::Mode mode);

    /** The latency reported to the host: the pedal stream's, or an estimate from the settings of
        the most recently used pedal when there is none. */
    int computeLatency() const;
    int getReportedLatency() const noexcept   { return latencySamples.load(); }

    static constexpr int presetFootswitchController = 111;

    /** The largest host block processed in one piece (longer blocks are split). */
    static constexpr int maxBlockSize = 8192;
    /** The longest dry delay: a block plus the delay must fit the dry delay line. */
    static constexpr int maxDryDelay = CircularAudioBuffer::defaultSize - 1 - maxBlockSize;

    static juce::String getDeviceSettingsPath();
    static juce::String getUserPresetPath();
    static void createDirectory (const juce::String& path, const juce::String& description);

    AudioValueTreeState& getParameterState() noexcept   { return parameterState; }
    UsbBaseDeviceManager<UsbDevice>& getDeviceManager() noexcept   { return *deviceManager; }
    const juce::String& getPendingDeviceName() const noexcept      { return pendingDeviceName; }
    juce::PropertiesFile* getSettingsFile() noexcept      { return settingsFile.get(); }
    VersionQueryController* getVersionQuery() noexcept    { return versionQuery.get(); }
    const StateArbiter& getStateArbiter() const noexcept { return stateArbiter; }
    StateArbiter& getStateArbiterForTesting() noexcept    { return stateArbiter; }
    int getLoadedProgram() const noexcept                 { return loadedProgram; }
    bool isModified() const noexcept                      { return modified; }
    bool isFreshInstance() const noexcept                 { return freshInstance; }
    const juce::String& getPresetName() const noexcept    { return presetName; }
    const PresetTable& getHardwarePresets() const noexcept { return hardwarePresets; }
    const juce::OwnedArray<PresetFormat>& getFactoryPresets() const noexcept { return factoryPresets; }
    const juce::OwnedArray<PresetFormat>& getUserPresets() const noexcept    { return userPresets; }
    juce::uint8 getFootswitchState() const noexcept       { return footswitchState; }

    static constexpr const char* checkForUpdatesKey = "checkForUpdates";
    static constexpr const char* simulatedPedalsKey = "simulatedPedals";
    static constexpr int versionCheckDelayMs = 3000;
    static constexpr int takePendingDeviceDelayMs = 200;

private:
    void createParameters();
    void loadFactoryPresets();
    void addSimulatedPedals();
    void captureLiveSettings();
    void deactivateSlots();
    void updateNumPrograms();
    juce::ValueTree findDefaultDeviceSettings() const;
    void releaseDevice();
    void setDeviceForAudio (UsbDevice* newDevice);
    void processBlockEx (juce::AudioBuffer<float>& buffer, bool bypassed) noexcept;
    void processPiece (juce::AudioBuffer<float>& buffer, bool bypassed, UsbDevice* pedal) noexcept;
    void updateLatency();

    //==============================================================================
    // Construction and destruction are message-thread work even when a host on Linux calls them
    // from its own thread: this holds the message manager's lock for as long as they run.
    MessageThread::Guard messageThreadGuard;

    juce::OwnedArray<PresetFormat> factoryPresets;
    juce::OwnedArray<PresetFormat> userPresets;
    PresetFormat defaultPreset { juce::var(), "Default" };
    Slots slots;
    AudioValueTreeState parameterState { "Thornvale" };
    juce::OwnedArray<Parameter> internalParameters;
    Parameter* bypassParameter = nullptr;
    Parameter* dacLeftParameter = nullptr;
    Parameter* dacRightParameter = nullptr;
    UsbDevice* device = nullptr;
    // The pedal as the host's audio thread sees it. The message thread changes it only through
    // setDeviceForAudio, which waits until no block is being processed with the old one.
    std::atomic<UsbDevice*> audioDevice { nullptr };
    std::atomic<bool> audioThreadInside { false };
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbDevice>> deviceManager;
    bool isPrepared = false;
    double sampleRate = 44100.0;
    int blockSize = 512;
    juce::uint8 footswitchState = 0;

    // Host-side audio bridge.
    CircularAudioBuffer dryDelay { 2, CircularAudioBuffer::defaultSize };
    juce::AudioBuffer<float> dryBlock;
    std::atomic<int> latencySamples { 0 };
    int appliedLatency = 0;
    AudioMute mute { 0.0f, 0.06f };
    AudioSmoothedValue wetLevel { 0.0f, 0.1f };

    PresetTable hardwarePresets;
    PresetTable stagedPresets;
    int lastNonDefaultProgram = 1;
    int loadedProgram = 0;
    bool modified = false;
    bool loadedFromSlot = false;
    bool liveStateAdopted = false;   // program 0 holds the pedal's live state, not yet loaded
    juce::String presetName { "Default" };
    StateArbiter stateArbiter { *this };
    bool freshInstance = true;
    std::atomic<int> currentProgram { 0 };
    std::atomic<int> numPrograms { firstFactoryProgram };
    int deviceMessageSection = 0;
    int programLoadSection = 0;
    juce::String pendingDeviceName;
    UsbDevice::Mode pendingDeviceMode = UsbDevice::audio;
    std::unique_ptr<VersionQueryController> versionQuery;
    std::unique_ptr<juce::PropertiesFile> settingsFile;

    JUCE_DECLARE_WEAK_REFERENCEABLE (ThornvaleAudioProcessor)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ThornvaleAudioProcessor)
};
