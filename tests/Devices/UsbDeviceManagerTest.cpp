#include "SimulatedPedalTestBase.h"
#include "Devices/UsbDevice.h"
#include "Devices/UsbDeviceManager.h"

namespace
{
    using Manager = UsbBaseDeviceManager<UsbDevice>;

    struct Recorder : Manager::Listener
    {
        void deviceAdded (UsbDevice* d) override     { events.add ("+" + d->getName()); }
        void deviceRemoved (UsbDevice* d) override
        {
            // The pedal is still whole when its removal is announced, its settings already saved.
            events.add ("-" + d->getName() + (settingsFile.existsAsFile() ? " saved" : ""));
        }

        juce::StringArray events;
        juce::File settingsFile;
    };
}

class UsbDeviceManagerTest : public SimulatedPedalTestBase
{
protected:
    void SetUp() override
    {
        SimulatedPedalTestBase::SetUp();
        folder = home.getSettingsFolder();
        folder.createDirectory();
    }

    std::unique_ptr<Manager> makeManager (bool withPath = true)
    {
        auto m = std::make_unique<Manager>();
        if (withPath)
            m->setSettingsPath (folder.getFullPathName() + "/");
        m->addListener (&recorder);
        return m;
    }

    juce::StringArray names (const Manager& m) const
    {
        juce::StringArray result;
        for (auto* d : m.getDevices())
            result.add (d->getName());
        return result;
    }

    juce::File folder;
    Recorder recorder;
};

TEST_F (UsbDeviceManagerTest, PedalsAreListedByNameWhateverThePortOrder)
{
    addPedal ("TVL-00B2");
    addPedal ("TVL-00A1");
    auto manager = makeManager();

    manager->timerCallback();

    EXPECT_EQ (names (*manager).joinIntoString (","), "TVL-00A1,TVL-00B2");
    EXPECT_EQ (recorder.events.joinIntoString (","), "+TVL-00B2,+TVL-00A1") << "announced in port order";
    EXPECT_TRUE (manager->hasScannedOnce());
}

TEST_F (UsbDeviceManagerTest, APedalCountsOnlyOnceItsAudioDeviceIsThere)
{
    auto& pedal = addPedal ("TVL-5EED");
    pedal.setAudioPresent (false);
    auto manager = makeManager();

    manager->scanForDevices();
    EXPECT_TRUE (manager->getDevices().isEmpty());

    pedal.setAudioPresent (true);
    manager->scanForDevices();
    EXPECT_EQ (names (*manager).joinIntoString (","), "TVL-5EED");

    manager->scanForDevices();
    EXPECT_EQ (recorder.events.size(), 1) << "a pedal still present is not added again";
}

TEST_F (UsbDeviceManagerTest, UnpluggingSavesOrDeletesTheSettingsFileBeforeRemoval)
{
    auto& pedal = addPedal ("TVL-5EED");
    auto manager = makeManager();
    manager->scanForDevices();
    recorder.settingsFile = folder.getChildFile ("TVL-5EED-settings.xml");

    manager->getDevices()[0]->getSettings().extraLatency.setValue (37, nullptr);
    manager->getDevices()[0]->getSettings().blockSize.setValue (128, nullptr);
    pedal.setMidiPresent (false);
    manager->scanForDevices();

    EXPECT_EQ (recorder.events.joinIntoString (","), "+TVL-5EED,-TVL-5EED saved");
    EXPECT_TRUE (manager->getDevices().isEmpty());
    auto xml = juce::parseXML (recorder.settingsFile);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "DEVICE");
    EXPECT_EQ (xml->getIntAttribute ("extraLatency"), 37);
    EXPECT_EQ (xml->getIntAttribute ("blockSize"), 128);
    EXPECT_TRUE (recorder.settingsFile.loadFileAsString().contains ("\r\n"));

    // Back again: the settings come from the file; a pedal with nothing set deletes its file.
    pedal.setMidiPresent (true);
    manager->scanForDevices();
    auto* device = manager->getDevices()[0];
    EXPECT_EQ ((int) device->getSettings().extraLatency, 37);

    device->getSettingsTree().removeAllProperties (nullptr);
    pedal.unplug();
    manager->scanForDevices();
    EXPECT_FALSE (recorder.settingsFile.exists());
}

TEST_F (UsbDeviceManagerTest, SettingsFilesWithAnotherRootAreIgnored)
{
    folder.getChildFile ("TVL-5EED-settings.xml").replaceWithText (R"(<?xml version="1.0"?><SETTINGS blockSize="256"/>)");
    folder.getChildFile ("TVL-0A0B-settings.xml").replaceWithText ("not xml at all");
    addPedal ("TVL-5EED");
    addPedal ("TVL-0A0B");
    auto manager = makeManager();
    manager->scanForDevices();

    for (auto* d : manager->getDevices())
    {
        EXPECT_EQ (d->getSettingsTree().getNumProperties(), 0) << d->getName();
        EXPECT_EQ ((int) d->getSettings().blockSize, 0);
    }
}

TEST_F (UsbDeviceManagerTest, WithoutASettingsFolderNothingIsLoadedOrSaved)
{
    folder.getChildFile ("TVL-5EED-settings.xml").replaceWithText (R"(<?xml version="1.0"?><DEVICE blockSize="256"/>)");
    auto& pedal = addPedal ("TVL-5EED");
    auto manager = makeManager (false);
    manager->scanForDevices();

    EXPECT_EQ ((int) manager->getDevices()[0]->getSettings().blockSize, 0);
    EXPECT_EQ (manager->getSettingsFile (manager->getDevices()[0]), juce::File());

    manager->getDevices()[0]->getSettings().blockSize.setValue (64, nullptr);
    pedal.unplug();
    manager->scanForDevices();
    EXPECT_TRUE (folder.getChildFile ("TVL-5EED-settings.xml").loadFileAsString().contains ("256"));
}

TEST_F (UsbDeviceManagerTest, TheLastUserSavesEveryPedalsSettings)
{
    addPedal ("TVL-5EED");
    auto manager = makeManager();
    manager->scanForDevices();
    manager->getDevices()[0]->getSettings().inAdjust.setValue (2, nullptr);

    manager.reset();

    EXPECT_TRUE (folder.getChildFile ("TVL-5EED-settings.xml").loadFileAsString().contains ("inAdjust=\"2\""));
    EXPECT_EQ (recorder.events.joinIntoString (","), "+TVL-5EED") << "no removal is announced at the end";
}
