#include "PluginProcessor.h"
#include "PluginEditor.h"
#include "Utilities/AdvisorySection.h"
#include "Utilities/MessageThread.h"
#include "Devices/PedalProtocol.h"
#include "Simulator/SimulatedPedals.h"
#include <BinaryData.h>

namespace
{
    const juce::Identifier nameAttribute { "name" };
    const juce::Identifier programAttribute { "program" };
    const juce::Identifier modifiedAttribute { "modified" };
    const juce::Identifier modeAttribute { "mode" };
}

//==============================================================================
ThornvaleAudioProcessor::ThornvaleAudioProcessor()
    : juce::AudioProcessor (BusesProperties().withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                             .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
{
    // Steps 2 to 4 (presets, slots, parameter tree, device manager, audio members, arbiter) are
    // the member initialisers above.
    parameterState.getTracker().setHoldEnabled (wrapperType != wrapperType_Undefined);

    for (int i = 0; i < numHardwarePresets; ++i)
        hardwarePresets[i].setName ("Preset " + juce::String (i));

    createParameters();
    parameterState.addListener (this);

    bypassParameter = parameterState.getParameter ("bypass");
    dacLeftParameter = parameterState.getParameter ("dacL");
    dacRightParameter = parameterState.getParameter ("dacR");

    loadFactoryPresets();

    createDirectory (getDeviceSettingsPath(), "Settings directory");
    settingsFile = std::make_unique<juce::PropertiesFile> (juce::File (getDeviceSettingsPath() + "settings.xml"),
                                                           juce::PropertiesFile::Options());

    addSimulatedPedals();
    loadUserPresets();
    updateNumPrograms();

    getParameters (&slots.backup);
    setProgram (0);

    deviceManager->setSettingsPath (getDeviceSettingsPath());
    deviceManager->setDefaultSettings (findDefaultDeviceSettings());
    deviceManager->addListener (this);

    getStateInformation (stateArbiter.initialState);
    stateArbiter.startTimer (StateArbiter::holdMs);

    if (settingsFile->getBoolValue (checkForUpdatesKey, true))
        startTimer (versionCheckTimer, versionCheckDelayMs);

    messageThreadGuard.release();
}

ThornvaleAudioProcessor::~ThornvaleAudioProcessor()
{
    // Held until the last member is gone (the guard is the first member).
    messageThreadGuard.acquire();

    releaseDevice();
    deviceManager->removeListener (this);

    settingsFile->save();
    settingsFile.reset();
    versionQuery.reset();

    stopTimer (takePendingDeviceTimer);
    stopTimer (versionCheckTimer);
    stateArbiter.stopTimer();

    // The host parameters outlive the tree (the base class owns them): cut their way back into it.
    for (auto* p : parameterState.getParameters())
        p->onValueChanged = nullptr;
}


//==============================================================================
void ThornvaleAudioProcessor::createParameters()
{
    struct Spec
    {
        const char* id;
        const char* name;
        int controller, maxValue, defaultValue;
        bool host, partOfPreset, isSwitch;
    };

    static constexpr Spec specs[] = {
        { "vol",        "Volume",                   85, 127, 63, true,  true,  false },
        { "ton",        "Tone",                     88, 127, 63, true,  true,  false },
        { "sus",        "Sustain",                 102, 127, 63, true,  true,  false },
        { "adcLink",    "Link Stereo ADC Channels", -1,   1,  1, false, true,  true  },
        { "adcL",       "ADC Left Channel Gain",   106, 127, 63, false, true,  false },
        { "adcR",       "ADC Right Channel Gain",  107, 127, 63, false, true,  false },
        { "dacLink",    "Link Stereo DAC Channels", -1,   1,  1, false, true,  true  },
        { "dacL",       "DAC Left Channel Gain",    -1, 127, 63, false, true,  false },
        { "dacR",       "DAC Right Channel Gain",   -1, 127, 63, false, true,  false },
        { "tonBypass",  "Tone Bypass",             108,   1,  0, true,  true,  true  },
        { "tonLattice", "Tone Lattice",            109,   1,  0, true,  true,  true  },
        { "bypass",     "Bypass FSW",              110,   1,  1, true,  false, true  },
        { "preset",     "Preset FSW",              111,   1,  0, false, false, true  },
    };

    for (auto& s : specs)
    {
        std::function<juce::String (int, int)> toText;
        std::function<int (const juce::String&)> fromText;

        if (s.isSwitch)
        {
            toText = [] (int value, int maximumLength) { return Parameter::valueToText ((float) value, maximumLength); };
            fromText = [] (const juce::String& text) { return Parameter::textToValue (text); };
        }

        auto* p = new Parameter (s.id, s.name, s.controller, s.maxValue, s.defaultValue, s.partOfPreset, {},
                                 std::move (toText), std::move (fromText), s.host, s.isSwitch, s.isSwitch);

        if (s.host)
            addParameter (p);
        else
            internalParameters.add (p);

        parameterState.addParameter (p);
    }

    parameterState.linkParameters (parameterState.getParameter ("adcLink"),
                                   parameterState.getParameter ("adcL"),
                                   parameterState.getParameter ("adcR"), 105);
    parameterState.linkParameters (parameterState.getParameter ("dacLink"),
                                   parameterState.getParameter ("dacL"),
                                   parameterState.getParameter ("dacR"), -1);
}

void ThornvaleAudioProcessor::loadFactoryPresets()
{
    static const PresetFormatElementComparator comparator;

    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        const juce::String resourceName (BinaryData::namedResourceList[i]);

        if (! resourceName.endsWith ("_mfp"))
            continue;

        int size = 0;
        auto* data = BinaryData::getNamedResource (BinaryData::namedResourceList[i], size);
        const auto json = PresetFormat::parseJson (juce::String::fromUTF8 (data, size));
        factoryPresets.addSorted (comparator, new PresetFormat (json, {}));
    }
}

void ThornvaleAudioProcessor::loadUserPresets()
{
    static const PresetFormatElementComparator comparator;

    createDirectory (getUserPresetPath(), "User preset directory");
    userPresets.clear();

    for (const auto& entry : juce::RangedDirectoryIterator (juce::File (getUserPresetPath()), false, "*.mfp",
                                                            juce::File::findFiles))
    {
        const auto file = entry.getFile();
        const auto json = PresetFormat::parseJson (file.loadFileAsString());
        userPresets.addSorted (comparator, new PresetFormat (json, file.getFileNameWithoutExtension().substring (0, 15)));
    }

    updateNumPrograms();
}

juce::File ThornvaleAudioProcessor::getUserPresetFile (const juce::String& presetName)
{
    return juce::File (getUserPresetPath()).getChildFile (PresetFormat::toSafeFileName (presetName) + ".mfp");
}

int ThornvaleAudioProcessor::saveUserPreset (juce::File file, std::unique_ptr<PresetFormat> preset)
{
    static const PresetFormatElementComparator comparator;
    jassert (preset != nullptr);

    const juce::File folder (getUserPresetPath());
    createDirectory (folder.getFullPathName(), "User preset directory");

    if (preset == nullptr || file.getParentDirectory() != folder || ! preset->writeToFile (file))
        return -1;

    int index = -1;

    for (int i = 0; i < userPresets.size(); ++i)
        if (comparator.compareElements (userPresets.getUnchecked (i), preset.get()) == 0)
            index = i;

    if (index >= 0)
        userPresets.set (index, preset.release(), true);
    else
        index = userPresets.addSorted (comparator, preset.release());

    updateNumPrograms();
    return firstFactoryProgram + factoryPresets.size() + index;
}

void ThornvaleAudioProcessor::updateNumPrograms()
{
    numPrograms.store (firstFactoryProgram + factoryPresets.size() + userPresets.size());
}

void ThornvaleAudioProcessor::addSimulatedPedals()
{
    // "simulatedPedals": pedal names separated by commas or spaces, e.g. "TVL-5EED, TVL-0A0B".
    const auto names = juce::StringArray::fromTokens (settingsFile->getValue (simulatedPedalsKey), ", ;", {});

    for (const auto& n : names)
        if (n.isNotEmpty() && UsbDevice::extractDeviceName (n) == n)
            Platform::getInstance().getSimulatedPedals().addPedal (n);
}

juce::ValueTree ThornvaleAudioProcessor::findDefaultDeviceSettings() const
{
    juce::ValueTree defaults (ID::DEVICE);
    juce::File newest;
    juce::int64 newestTime = 0;

    for (const auto& entry : juce::RangedDirectoryIterator (juce::File (getDeviceSettingsPath()), false,
                                                            "TVL-*-settings.xml", juce::File::findFiles))
    {
        const auto time = entry.getModificationTime().toMilliseconds();

        if (newest == juce::File() || time > newestTime)
        {
            newest = entry.getFile();
            newestTime = time;
        }
    }

    if (newest != juce::File())
        if (auto xml = juce::parseXML (newest))
            if (auto tree = juce::ValueTree::fromXml (*xml); tree.hasType (ID::DEVICE))
                defaults = tree;

    return defaults;
}

//==============================================================================
juce::String ThornvaleAudioProcessor::getDeviceSettingsPath()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getFullPathName()
           + "/Audio/Presets/Marrowfield/Thornvale/";
}

juce::String ThornvaleAudioProcessor::getUserPresetPath()
{
    return getDeviceSettingsPath() + "User/";
}

void ThornvaleAudioProcessor::createDirectory (const juce::String& path, const juce::String&)
{
    const juce::File folder (path);

    if (! folder.isDirectory())
        folder.createDirectory();
}

//==============================================================================
const juce::String ThornvaleAudioProcessor::getName() const   { return "Thornvale"; }
double ThornvaleAudioProcessor::getTailLengthSeconds() const  { return 0.0; }
bool ThornvaleAudioProcessor::acceptsMidi() const             { return false; }
bool ThornvaleAudioProcessor::producesMidi() const            { return false; }
bool ThornvaleAudioProcessor::hasEditor() const               { return true; }
UsbDevice* ThornvaleAudioProcessor::getDevice()               { return device; }
void ThornvaleAudioProcessor::changeProgramName (int, const juce::String&) {}

juce::AudioProcessorEditor* ThornvaleAudioProcessor::createEditor()
{
    return new ThornvaleAudioProcessorEditor (*this, parameterState);
}

void ThornvaleAudioProcessor::prepareToPlay (double newSampleRate, int samplesPerBlock)
{
    isPrepared = true;
    sampleRate = newSampleRate;
    blockSize = juce::jlimit (1, maxBlockSize, samplesPerBlock);

    if (dryBlock.getNumChannels() != 2 || dryBlock.getNumSamples() != blockSize + 32)
        dryBlock.setSize (2, blockSize + 32);

    dryDelay.clear();
    mute.reset (sampleRate, blockSize);
    wetLevel.reset (sampleRate, blockSize);
    wetLevel.pendingTarget = device != nullptr ? 1.0f : 0.0f;

    if (device != nullptr)
        device->prepareToPlay (blockSize, sampleRate);

    updateLatency();
}

void ThornvaleAudioProcessor::releaseResources()
{
    if (device != nullptr)
        device->releaseResources();

    isPrepared = false;
}

// Host audio thread.
void ThornvaleAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processBlockEx (buffer, false);
}

// Host audio thread.
void ThornvaleAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processBlockEx (buffer, true);
}

// Host audio thread: no lock, no allocation, no wait.
void ThornvaleAudioProcessor::processBlockEx (juce::AudioBuffer<float>& buffer, bool bypassed) noexcept
{
    const juce::ScopedNoDenormals noDenormals;
    const int n = buffer.getNumSamples();

    if (dryBlock.getNumSamples() == 0)
    {
        buffer.clear();   // not prepared: nothing sensible to give
        return;
    }

    audioThreadInside.store (true);
    auto* pedal = audioDevice.load();

    // A host may hand a longer block than it announced: process it in pieces of the prepared size,
    // exactly as if it had sent them one by one.
    for (int start = 0; start < n; start += blockSize)
    {
        juce::AudioBuffer<float> piece (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start,
                                        juce::jmin (blockSize, n - start));
        processPiece (piece, bypassed, pedal);
    }

    audioThreadInside.store (false);
}

void ThornvaleAudioProcessor::processPiece (juce::AudioBuffer<float>& buffer, bool bypassed, UsbDevice* pedal) noexcept
{
    const int n = buffer.getNumSamples();
    const int numChannels = buffer.getNumChannels();
    const float target = (! bypassed && bypassParameter != nullptr && bypassParameter->get() != 0) ? 1.0f : 0.0f;

    dryDelay.writeBuffer (buffer.getArrayOfReadPointers(), numChannels, n, 0, false);

    if (pedal != nullptr && pedal->getMode() == UsbDevice::audio)
    {
        wetLevel.pendingTarget = target;

        const float left = (float) dacLeftParameter->get() / 127.0f;
        const float right = (float) dacRightParameter->get() / 127.0f;

        for (int c = 0; c < numChannels; ++c)
            buffer.applyGain (c, 0, n, c == 0 ? left : right);

        pedal->getNextAudioBlock (juce::AudioSourceChannelInfo (&buffer, 0, n));
    }
    else
    {
        wetLevel.pendingTarget = 0.0f;
        buffer.clear();
    }

    // A latency change fades out, moves the dry delay while silent, and fades back in.
    const int wanted = juce::jlimit (0, maxDryDelay, latencySamples.load());

    if (wanted == appliedLatency)
    {
        mute.pendingTarget = 1.0f;
    }
    else if (mute.getCurrentValue() == 0.0f)
    {
        appliedLatency = wanted;
        mute.pendingTarget = 1.0f;
    }
    else
    {
        mute.pendingTarget = 0.0f;
    }

    dryDelay.setReadIndex (dryDelay.offsetIndex (dryDelay.getWriteIndex(), -(n + appliedLatency)));
    dryDelay.readBuffer (dryBlock.getArrayOfWritePointers(), 2, n, 0, true);

    wetLevel.takePendingTarget();
    mute.takePendingTarget();
    const float w0 = wetLevel.getCurrentValue(), w1 = wetLevel.getNextValue();
    const float m0 = mute.getCurrentValue(), m1 = mute.getNextValue();

    for (int c = 0; c < numChannels; ++c)
    {
        buffer.applyGainRamp (c, 0, n, w0 * m0, w1 * m1);

        const float g0 = (1.0f - w0) * m0, g1 = (1.0f - w1) * m1;

        if (g0 != 0.0f || g1 != 0.0f)
            buffer.addFromWithRamp (c, 0, dryBlock.getReadPointer (juce::jmin (c, 1)), n, g0, g1);
    }
}

//==============================================================================
int ThornvaleAudioProcessor::getNumPrograms()
{
    return numPrograms.load();
}

int ThornvaleAudioProcessor::getCurrentProgram()
{
    return currentProgram.load();
}

void ThornvaleAudioProcessor::setCurrentProgram (int index)
{
    if (MessageThread::isCurrent())
        setProgram (index);
    else
        currentProgram.exchange (index);   // applied by the parameter tree's next tick
}

const juce::String ThornvaleAudioProcessor::getProgramName (int index)
{
    if (index <= 0)
        return "Default";

    if (index <= numHardwarePresets)
        return hardwarePresets[index - 1].getName();

    const int factoryIndex = index - firstFactoryProgram;

    if (factoryIndex < factoryPresets.size())
        return factoryPresets.getUnchecked (factoryIndex)->getName();

    if (auto* preset = userPresets[factoryIndex - factoryPresets.size()])
        return preset->getName();

    return {};
}

bool ThornvaleAudioProcessor::updateExtraParameters()
{
    const int wanted = currentProgram.load();

    if (wanted == loadedProgram)
        return false;

    setProgram (wanted);
    return true;
}

//==============================================================================
juce::var ThornvaleAudioProcessor::getParameters (const juce::String& name) const
{
    auto* object = new juce::DynamicObject();

    if (name.isNotEmpty())
        object->setProperty (nameAttribute, name);

    for (auto* p : parameterState.getParameters())
        if (p->isPartOfPreset)
            object->setProperty (p->paramID, p->get());

    return juce::var (object);
}

void ThornvaleAudioProcessor::captureLiveSettings()
{
    if (loadedProgram == 0 && ! loadedFromSlot)
        defaultPreset.setProperties (getParameters ("Default"));
}

void ThornvaleAudioProcessor::deactivateSlots()
{
    for (auto* slot : slots.slots)
        if (slot->state == SlotState::active)
            slot->state = SlotState::stored;
}

void ThornvaleAudioProcessor::setProgram (int program)
{
    const AdvisorySection section (programLoadSection);

    program = juce::jmax (0, program);

    if (program == 0 && loadedProgram != 0)
        lastNonDefaultProgram = loadedProgram;
    else if (! (program == 0 && liveStateAdopted))
        captureLiveSettings();   // (reloading program 0 right after the pedal's live state arrived applies that state)

    if (program == 0)
    {
        setProgram (&defaultPreset, 0, defaultPreset.getName(), false, -1, false);
    }
    else if (program <= numHardwarePresets)
    {
        const PresetFormat preset (hardwarePresets[program - 1], {});
        setProgram (&preset, program, preset.getName(), false, -1, false);
    }
    else
    {
        const int factoryIndex = program - firstFactoryProgram;
        const PresetFormat* preset = factoryIndex < factoryPresets.size()
                                         ? factoryPresets.getUnchecked (factoryIndex)
                                         : userPresets[factoryIndex - factoryPresets.size()];

        if (preset == nullptr)
            return;   // beyond the last user preset: nothing changes

        setProgram (preset, program, preset->getName(), false, -1, false);
    }

    if (! AdvisorySection::isHeld (deviceMessageSection))
        sendStateToDevice();
}

void ThornvaleAudioProcessor::setProgram (const PresetFormat* preset, int program, const juce::String& name,
                                          bool isModified, int bypassState, bool keepSlots)
{
    jassert (preset != nullptr);

    if (auto* p = parameterState.getParameter ("preset"))
        p->set (program != 0 ? 1 : 0, GestureTracker::sourceProgram);

    if (bypassState >= 0 && bypassParameter != nullptr)
        bypassParameter->set (bypassState != 0 ? 1 : 0, GestureTracker::sourceProgram);

    auto& values = preset->getObject();

    for (auto* p : parameterState.getParameters())
        if (values.hasProperty (p->paramID))
            p->set ((int) values.getProperty (p->paramID), GestureTracker::sourceProgram);

    liveStateAdopted = false;
    presetName = name;
    loadedProgram = program;
    currentProgram.store (program);
    modified = isModified;
    loadedFromSlot = keepSlots;

    if (! keepSlots)
        deactivateSlots();

    sendChangeMessage();
}

//==============================================================================
void ThornvaleAudioProcessor::getParameters (Slot* slot)
{
    slot->values.setProperties (getParameters (juce::String()));
    slot->programNumber = loadedProgram;
    slot->programName = presetName;
    slot->modified = modified;
}

void ThornvaleAudioProcessor::setProgram (Slot* slot)
{
    const AdvisorySection section (programLoadSection);

    captureLiveSettings();
    const int program = validateProgramIndex (slot->programNumber, slot->programName);
    setProgram (&slot->values, program, slot->programName, slot->modified, -1, true);
    sendStateToDevice();
}

void ThornvaleAudioProcessor::saveSlotAction (int index)
{
    auto* slot = slots.slots[index];

    if (slot == nullptr)
        return;

    getParameters (slot);
    deactivateSlots();
    slot->state = SlotState::active;
    sendChangeMessage();
}

void ThornvaleAudioProcessor::recallSlotAction (int index)
{
    auto* slot = slots.slots[index];

    if (slot == nullptr)
        return;

    if (slot->state == SlotState::active)
    {
        if (slots.backup.state != SlotState::empty)
            setProgram (&slots.backup);

        deactivateSlots();
    }
    else if (slot->state == SlotState::stored)
    {
        bool anyActive = false;

        for (auto* s : slots.slots)
            anyActive = anyActive || s->state == SlotState::active;

        if (! anyActive)
        {
            getParameters (&slots.backup);
            slots.backup.state = SlotState::stored;   // the backup is valid from now on
        }

        setProgram (slot);
        deactivateSlots();
        slot->state = SlotState::active;
    }

    sendChangeMessage();
}

int ThornvaleAudioProcessor::validateProgramIndex (int program, const juce::String& name) const
{
    if (program <= 0)
        return 0;

    if (program <= numHardwarePresets)
        return program;

    const bool factory = program < firstFactoryProgram + factoryPresets.size();
    const auto& list = factory ? factoryPresets : userPresets;
    const int base = factory ? firstFactoryProgram : firstFactoryProgram + factoryPresets.size();

    for (int i = 0; i < list.size(); ++i)
        if (list.getUnchecked (i)->getName() == name)
            return base + i;

    return 1;
}

//==============================================================================
void ThornvaleAudioProcessor::sendStateToDevice()
{
    if (device == nullptr)
        return;

    const PresetFormat preset (getParameters (presetName), {});
    const int number = loadedProgram == 0 ? PedalProtocol::liveSlot
                     : loadedProgram <= numHardwarePresets ? loadedProgram - 1
                                                           : PedalProtocol::outsideSlot;
    auto record = preset.toPreset (number);

    if (modified)
        record.bytes[24] |= 0x01;

    if (bypassParameter != nullptr && bypassParameter->get() != 0)
        record.bytes[24] |= 0x02;

    device->sendSysExMessage (PedalProtocol::presetGroup, PedalProtocol::setLiveState, record.bytes, PRESET::size);
}

int ThornvaleAudioProcessor::sendHardwarePresetsToDevice (const juce::Array<PRESET>& records, bool writeBack)
{
    if (device == nullptr)
        return 0;

    int count = 0;
    bool loadedSlotWritten = false;

    for (int i = 0; i < records.size(); ++i)
    {
        const auto& record = records.getReference (i);
        const int slot = record.bytes[0];

        if (slot > numHardwarePresets - 1)
            continue;

        const auto value = (unsigned char) ((writeBack ? PedalProtocol::writeBackFlag : 0) | (i & 0x0F));
        device->sendSysExMessage (PedalProtocol::presetGroup, value, record.bytes, PRESET::size);
        hardwarePresets[slot] = record;
        loadedSlotWritten = loadedSlotWritten || slot == loadedProgram - 1;
        ++count;
    }

    device->sendSysExMessage (PedalProtocol::presetGroup, PedalProtocol::requestPresetTable);

    if (loadedSlotWritten && ! writeBack)
        setProgram (loadedProgram);

    return count;
}

//==============================================================================
void ThornvaleAudioProcessor::setUsbDevice (juce::StringRef name, UsbDevice::Mode mode)
{
    auto* pedal = deviceManager->findDevice (name);

    if (pedal == nullptr)
        return;

    if (pedal == device)
    {
        if (pedal->getMode() != mode)
            pedal->sendSysExMessage (PedalProtocol::systemGroup,
                                     mode == UsbDevice::control ? PedalProtocol::selectModeControl : PedalProtocol::selectModeAudio);
        return;
    }

    if (pedal->isInUse())
        return;   // another instance has it

    if (device != nullptr)
        setDeviceForAudio (nullptr);   // the old pedal stays as it is, only no longer ours

    pedal->attach (this, mode);
    setDeviceForAudio (pedal);
    sendChangeMessage();

    if (isPrepared)
    {
        pedal->prepareToPlay (blockSize, sampleRate);
        updateLatency();
    }
}

void ThornvaleAudioProcessor::releaseDevice()
{
    if (device == nullptr)
        return;

    auto* pedal = device;
    pedal->release();
    setDeviceForAudio (nullptr);
    sendChangeMessage();
    footswitchState = 0;
}

void ThornvaleAudioProcessor::setDeviceForAudio (UsbDevice* newDevice)
{
    if (device != nullptr && device != newDevice)
        device->detach (this);

    device = newDevice;

    // Publish the new pedal, then wait until a block that may still use the old one has ended.
    // Both sides use sequentially consistent order: a block that read the old pointer had
    // already announced itself, so the wait below sees it. The audio thread never waits.
    audioDevice.store (newDevice);

    while (audioThreadInside.load())
        std::this_thread::yield();
}

int ThornvaleAudioProcessor::computeLatency() const
{
    if (device != nullptr)
        return device->getAudioStream().getTotalLatency();

    auto defaults = deviceManager->getDefaultSettings();

    if (! defaults.isValid())
        defaults = juce::ValueTree (ID::DEVICE);

    const DeviceSettings settings (defaults);
    const int h = blockSize;
    const int d = (int) settings.blockSize != 0 ? (int) settings.blockSize : h;
    const float m = (float) juce::jmax (h, d);
    const float sum = (float) (h + d);

    return (int) ((float) (int) settings.inAdjust * m + sum) + (int) settings.extraLatency
         + (int) ((float) (int) settings.outAdjust * m + sum) + AudioIODeviceSource::fixedLatency;
}

void ThornvaleAudioProcessor::updateLatency()
{
    const int latency = computeLatency();
    latencySamples.store (latency);
    setLatencySamples (latency);
}

//==============================================================================
void ThornvaleAudioProcessor::parameterChanged (Parameter* parameter, int value, int controllerNumber)
{
    if (controllerNumber == presetFootswitchController)
    {
        if (! AdvisorySection::isHeld (programLoadSection))
            setCurrentProgram (value == 1 ? lastNonDefaultProgram : 0);
    }
    else if (controllerNumber >= 0 && device != nullptr
              && ! AdvisorySection::isHeld (deviceMessageSection) && ! AdvisorySection::isHeld (programLoadSection))
    {
        const juce::uint8 pair[] = { (juce::uint8) controllerNumber,
                                     (juce::uint8) PedalProtocol::sentValue (value, parameter->isBoolean()) };
        device->sendSysExMessage (PedalProtocol::parameterGroup, PedalProtocol::parameterChange, pair, 2);
    }

    if (! parameter->isPartOfPreset)
        return;

    bool changed = ! modified;

    for (auto* slot : slots.slots)
        changed = changed || slot->state == SlotState::active;

    deactivateSlots();
    modified = true;

    if (changed)
        sendChangeMessage();
}

void ThornvaleAudioProcessor::incomingMidiMessage (UsbDevice* pedal, const juce::MidiMessage& message)
{
    const AdvisorySection section (deviceMessageSection);
    using P = PedalProtocol;

    P::Frame frame;

    if (! P::parse (message, frame) || ! P::isForProcessor (frame))
        return;

    PRESET record;
    int firstSlot = 0, numRecords = 0;

    switch (frame.getGroup())
    {
        case P::presetGroup:
            if (P::readPresetTableChunk (frame, firstSlot, numRecords))
            {
                for (int i = 0; i < numRecords; ++i)
                    std::memcpy (stagedPresets[firstSlot + i].bytes, frame.payload + i * PRESET::size, PRESET::size);

                if (firstSlot + numRecords == numHardwarePresets
                     && std::memcmp (&stagedPresets, &hardwarePresets, sizeof (PresetTable)) != 0)
                {
                    hardwarePresets = stagedPresets;
                    sendChangeMessage();
                }
            }
            else if (P::readPresetRecalled (frame, record))
            {
                const AdvisorySection loading (programLoadSection);
                const int program = P::programForRecord (record);
                const PresetFormat preset (record, {});
                setProgram (&preset, program, getProgramName (program), (record.bytes[24] & 0x01) != 0,
                            (record.bytes[24] & 0x02) != 0 ? 1 : 0, false);
            }
            else if (P::readLiveState (frame, record))
            {
                const PresetFormat live (record, defaultPreset.getName());
                defaultPreset.setProperties (live.toVar());
                liveStateAdopted = true;
            }
            break;

        case P::parameterGroup:
            if (pedal != nullptr && frame.getChannel() == pedal->getChannel())
            {
                const auto& parameters = parameterState.getParameters();

                for (int pair = 0; pair < P::numParameterPairs (frame); ++pair)
                {
                    const int c = frame.payload[2 * pair] & 0x7F;
                    const int wireValue = frame.payload[2 * pair + 1];

                    for (auto* p : parameters)
                    {
                        if (p->controllerNumber == c)
                        {
                            p->set (P::receivedValue (wireValue, p->isBoolean()), GestureTracker::sourcePedal);
                            break;
                        }

                        if (p->sharedControllerNumber == c)
                            p->set (P::receivedValue (wireValue, p->isBoolean()), GestureTracker::sourcePedal);
                    }
                }
            }
            break;

        case P::programGroup:
            if (const int program = P::programForProgramChange (frame); program >= 0)
                setCurrentProgram (program);
            break;

        case P::statusGroup:
            if (const int bits = P::readFootswitchState (frame); bits >= 0)
            {
                footswitchState = (juce::uint8) bits;
                sendChangeMessage();
            }
            break;

        default:
            break;
    }
}

void ThornvaleAudioProcessor::deviceStatusChanged (UsbDevice* pedal)
{
    if (pedal == device && pedal->getMode() == UsbDevice::none)
        releaseDevice();

    sendChangeMessage();
}

void ThornvaleAudioProcessor::deviceConnected (UsbDevice* pedal)
{
    pedal->sendSysExMessage (PedalProtocol::presetGroup, PedalProtocol::requestPresetTable);
    pedal->sendSysExMessage (PedalProtocol::presetGroup, PedalProtocol::connectQuery);

    if (freshInstance)
        pedal->sendSysExMessage (PedalProtocol::presetGroup, PedalProtocol::requestLiveState);
    else
        sendStateToDevice();
}

void ThornvaleAudioProcessor::deviceLatencyChanged (int)
{
    updateLatency();
}

void ThornvaleAudioProcessor::deviceAdded (UsbDevice* pedal)
{
    if (device == nullptr && pedal->getName() == pendingDeviceName)
        setUsbDevice (pendingDeviceName, pendingDeviceMode);
}

void ThornvaleAudioProcessor::deviceRemoved (UsbDevice* removed)
{
    if (removed == device)
        releaseDevice();
}

void ThornvaleAudioProcessor::timerCallback (int timerId)
{
    if (timerId == takePendingDeviceTimer)
    {
        if (pendingDeviceName.isNotEmpty() && device == nullptr)
            setUsbDevice (pendingDeviceName, pendingDeviceMode);

        stopTimer (takePendingDeviceTimer);
    }
    else if (timerId == versionCheckTimer)
    {
        if (versionQuery == nullptr)
        {
            versionQuery = std::make_unique<VersionQueryController>();
            versionQuery->launchThread();
        }

        stopTimer (versionCheckTimer);
    }
}

//==============================================================================
void ThornvaleAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    MessageThread::Guard guard;   // hosts on Linux ask from their own GUI thread
    auto xml = parameterState.copyState().createXml();

    auto* preset = xml->createNewChildElement (ID::PRESET.toString());
    preset->setAttribute (nameAttribute, presetName);
    preset->setAttribute (programAttribute, loadedProgram);
    preset->setAttribute (modifiedAttribute, modified ? 1 : 0);

    if (device != nullptr)
    {
        auto* element = xml->createNewChildElement (ID::DEVICE.toString());
        element->setAttribute (nameAttribute, device->getName());

        if (device->getMode() == UsbDevice::control)
            element->setAttribute (modeAttribute, "control");
    }

    destData.reset();
    copyXmlToBinary (*xml, destData);
}

void ThornvaleAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    juce::MemoryBlock blob (data, (size_t) juce::jmax (0, sizeInBytes));

    if (MessageThread::isCurrent())
    {
        setMemBlockStateInformation (blob);
        return;
    }

    // The instance may be gone by the time the message thread gets to it.
    juce::MessageManager::callAsync ([weakThis = juce::WeakReference<ThornvaleAudioProcessor> (this), blob]
    {
        if (auto* processor = weakThis.get())
            processor->setMemBlockStateInformation (blob);
    });
}

bool ThornvaleAudioProcessor::isStrictUtf8 (const std::string& text)
{
    const auto* p = reinterpret_cast<const unsigned char*> (text.data());
    const auto* end = p + text.size();

    while (p < end)
    {
        const unsigned c = *p++;
        int extra = 0;
        unsigned value = 0, minimum = 0;

        if (c < 0x80)                { continue; }
        else if ((c & 0xE0) == 0xC0) { extra = 1; value = c & 0x1F; minimum = 0x80; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; value = c & 0x0F; minimum = 0x800; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; value = c & 0x07; minimum = 0x10000; }
        else                         { return false; }

        if (end - p < extra)
            return false;

        for (int i = 0; i < extra; ++i)
        {
            if ((p[i] & 0xC0) != 0x80)
                return false;

            value = (value << 6) | (p[i] & 0x3F);
        }

        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;

        p += extra;
    }

    return true;
}

std::unique_ptr<juce::XmlElement> ThornvaleAudioProcessor::readStateXml (const juce::MemoryBlock& blob)
{
    constexpr juce::uint32 magic = 0x21324356;
    const auto* bytes = static_cast<const char*> (blob.getData());
    const auto size = blob.getSize();

    if (size <= 8 || juce::ByteOrder::littleEndianInt (bytes) != magic)
        return nullptr;

    const auto length = juce::ByteOrder::littleEndianInt (bytes + 4);

    if (length == 0)
        return nullptr;

    // The text ends at its length, the blob's end or its first zero byte, whichever comes first.
    std::string utf8 (bytes + 8, juce::jmin ((size_t) length, size - 8));
    utf8.resize (std::strlen (utf8.c_str()));

    // Text that is not strictly UTF-8 is not a state of ours (and must not reach juce::String,
    // which trusts its encoding).
    if (! isStrictUtf8 (utf8))
        return nullptr;

    juce::String text (juce::CharPointer_UTF8 (utf8.c_str()));

    // The framework's XML reader loops forever on a processing instruction followed by text inside
    // an element. Processing instructions carry nothing for us: drop every one after the
    // document's own declaration before parsing.
    const int firstElement = text.indexOfChar ('<') == text.indexOf ("<?") ? text.indexOf ("?>") + 2 : 0;

    for (int start = text.indexOf (juce::jmax (0, firstElement), "<?"); start >= 0; start = text.indexOf (start, "<?"))
    {
        const int end = text.indexOf (start + 2, "?>");
        text = text.substring (0, start) + (end >= 0 ? text.substring (end + 2) : juce::String());
    }

    auto xml = juce::parseXML (text);

    // A state holds no text; value trees cannot take it.
    std::function<void (juce::XmlElement&)> dropText = [&dropText] (juce::XmlElement& e)
    {
        e.deleteAllTextElements();

        for (auto* child : e.getChildIterator())
            dropText (*child);
    };

    if (xml != nullptr)
        dropText (*xml);

    return xml;
}

void ThornvaleAudioProcessor::setMemBlockStateInformation (const juce::MemoryBlock& blob)
{
    const AdvisorySection section (programLoadSection);

    auto xml = readStateXml (blob);

    if (xml == nullptr)
        return;

    if (! stateArbiter.initialState.isEmpty())
    {
        const bool same = stateArbiter.initialState == blob;
        stateArbiter.initialState.reset();

        if (same)
            return;
    }

    freshInstance = false;

    if (! xml->getTagName().equalsIgnoreCase ("Thornvale"))
        return;

    const auto tree = juce::ValueTree::fromXml (*xml);
    PresetFormat preset (juce::var(), {});
    auto* saved = new juce::DynamicObject();
    const juce::var savedVar (saved);

    for (const auto& child : tree)
        if (child.hasType (ID::PARAM))
            saved->setProperty (child.getProperty (ID::id).toString(), child.getProperty (ID::value));

    preset.setProperties (savedVar);

    if (const auto presetElement = tree.getChildWithName (ID::PRESET); presetElement.isValid())
    {
        const int program = presetElement.getProperty (programAttribute);
        const auto name = presetElement.getProperty (nameAttribute).toString();
        const bool wasModified = presetElement.getProperty (modifiedAttribute);
        const bool bypass = saved->getProperty ("bypass");

        setProgram (&preset, validateProgramIndex (program, name), name, wasModified, bypass ? 1 : 0, false);
    }

    if (const auto deviceElement = tree.getChildWithName (ID::DEVICE); deviceElement.isValid())
    {
        pendingDeviceName = deviceElement.getProperty (nameAttribute).toString();
        pendingDeviceMode = deviceElement.getProperty (modeAttribute).toString() == "control" ? UsbDevice::control
                                                                                               : UsbDevice::audio;
        startTimer (takePendingDeviceTimer, takePendingDeviceDelayMs);
    }

    sendStateToDevice();
}
