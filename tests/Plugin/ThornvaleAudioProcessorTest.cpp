#include "ProcessorTestBase.h"
#include <thread>

class ThornvaleAudioProcessorTest : public ProcessorTestBase {};

TEST_F (ThornvaleAudioProcessorTest, ProgramsRightAfterConstruction)
{
    EXPECT_EQ (processor->getNumPrograms(), 28);
    EXPECT_EQ (processor->getCurrentProgram(), 0);

    const std::vector<std::pair<int, const char*>> names {
        { 0, "Default" }, { -5, "Default" }, { 1, "Preset 0" }, { 10, "Preset 9" },
        { 11, "Black Tees" }, { 12, "ComfortablyThorn" }, { 27, "Synth Lead" }, { 28, "" }, { 1000, "" } };

    for (auto& [program, name] : names)
        EXPECT_EQ (processor->getProgramName (program), name) << "program " << program;

    EXPECT_EQ (processor->getName(), "Thornvale");
    EXPECT_FALSE (processor->acceptsMidi());
    EXPECT_FALSE (processor->producesMidi());
    EXPECT_EQ (processor->getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor->getPresetName(), "Default");
    EXPECT_FALSE (processor->isModified());
}

TEST_F (ThornvaleAudioProcessorTest, BusesAreStereoInAndOut)
{
    ASSERT_EQ (processor->getBusCount (true), 1);
    ASSERT_EQ (processor->getBusCount (false), 1);
    EXPECT_EQ (processor->getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor->getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor->getTotalNumInputChannels(), 2);
    EXPECT_EQ (processor->getTotalNumOutputChannels(), 2);

    const auto hostParameters = processor->getParameters();
    juce::StringArray ids;
    for (auto* p : hostParameters)
        ids.add (dynamic_cast<juce::AudioProcessorParameterWithID*> (p)->paramID);
    EXPECT_EQ (ids.joinIntoString (","), "vol,ton,sus,tonBypass,tonLattice,bypass");
}

TEST_F (ThornvaleAudioProcessorTest, AProgramSetOnAnotherThreadLoadsWithinOneTick)
{
    std::thread host ([this] { processor->setCurrentProgram (12); });
    host.join();

    EXPECT_EQ (processor->getCurrentProgram(), 12);
    EXPECT_EQ (processor->getLoadedProgram(), 0) << "nothing loads off the message thread";

    ASSERT_TRUE (pumpUntil ([this] { return processor->getLoadedProgram() == 12; }, 600));
    EXPECT_EQ (param ("vol").get(), 69);     // "ComfortablyThorn"
    EXPECT_EQ (param ("ton").get(), 94);
    EXPECT_EQ (param ("preset").get(), 1);
    EXPECT_EQ (processor->getPresetName(), "ComfortablyThorn");
    EXPECT_FALSE (processor->isModified());
}

TEST_F (ThornvaleAudioProcessorTest, AnUnloadableProgramIsRetriedUntilTheHostSetsAGoodOne)
{
    std::thread ([this] { processor->setCurrentProgram (5000); }).join();

    for (int tick = 0; tick < 3; ++tick)
        EXPECT_TRUE (processor->updateExtraParameters()) << "the attempt repeats on every tick";

    EXPECT_EQ (processor->getCurrentProgram(), 5000);
    EXPECT_EQ (processor->getLoadedProgram(), 0);
    EXPECT_EQ (param ("vol").get(), 63);

    std::thread ([this] { processor->setCurrentProgram (15); }).join();
    ASSERT_TRUE (pumpUntil ([this] { return processor->getLoadedProgram() == 15; }, 600));
    EXPECT_EQ (processor->getPresetName(), "Freak Scene");
    EXPECT_FALSE (processor->updateExtraParameters());
}

TEST_F (ThornvaleAudioProcessorTest, DestructionSavesTheSettingsFile)
{
    processor->getSettingsFile()->setValue ("checkForUpdates", false);
    processor.reset();

    const auto file = home.getSettingsFolder().getChildFile ("settings.xml");
    ASSERT_TRUE (file.existsAsFile());
    juce::PropertiesFile reread (file, {});
    EXPECT_FALSE (reread.getBoolValue ("checkForUpdates", true));
}

TEST_F (ThornvaleAudioProcessorTest, StateBlobLayout)
{
    juce::MemoryBlock blob;
    blob.append ("stale", 5);
    processor->getStateInformation (blob);

    const auto* bytes = static_cast<const juce::uint8*> (blob.getData());
    ASSERT_GT (blob.getSize(), 9u);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes), 0x21324356u);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (juce::uint32) blob.getSize() - 9);
    EXPECT_EQ (bytes[blob.getSize() - 1], 0);

    const juce::String text (juce::CharPointer_UTF8 ((const char*) bytes + 8));
    EXPECT_FALSE (text.containsChar ('\n'));
    auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "Thornvale");
    EXPECT_EQ (xml->getStringAttribute ("version"), "1.0.70");

    juce::StringArray children;
    for (auto* child : xml->getChildIterator())
        children.add (child->getTagName() + (child->hasAttribute ("id") ? ":" + child->getStringAttribute ("id") : ""));
    EXPECT_EQ (children.joinIntoString (" "),
               "PARAM:vol PARAM:ton PARAM:sus PARAM:adcLink PARAM:adcL PARAM:adcR PARAM:dacLink PARAM:dacL "
               "PARAM:dacR PARAM:tonBypass PARAM:tonLattice PARAM:bypass PARAM:preset PRESET");

    auto* preset = xml->getChildByName ("PRESET");
    EXPECT_EQ (preset->getStringAttribute ("name"), "Default");
    EXPECT_EQ (preset->getIntAttribute ("program"), 0);
    EXPECT_EQ (preset->getIntAttribute ("modified"), 0);
}

//==============================================================================
struct UpdateCheckCase
{
    const char* stored;   // value of "checkForUpdates" in settings.xml, nullptr for absent
    bool expectCheck;
};

class VersionCheckTest : public MessageThreadTest,
                         public ::testing::WithParamInterface<UpdateCheckCase> {};

TEST_P (VersionCheckTest, RunsThreeSecondsAfterConstructionOnceWhenAllowed)
{
    if (GetParam().stored != nullptr)
    {
        const auto folder = home.getSettingsFolder();
        folder.createDirectory();
        juce::PropertiesFile settings (folder.getChildFile ("settings.xml"), {});
        settings.setValue ("checkForUpdates", GetParam().stored);
        settings.save();
    }

    ThornvaleAudioProcessor processor;
    using T = ThornvaleAudioProcessor;

    EXPECT_EQ (processor.isTimerRunning (T::versionCheckTimer), GetParam().expectCheck);

    if (! GetParam().expectCheck)
        return;

    EXPECT_EQ (processor.getTimerInterval (T::versionCheckTimer), 3000);
    EXPECT_EQ (processor.getVersionQuery(), nullptr);

    processor.timerCallback (T::versionCheckTimer);
    auto* query = processor.getVersionQuery();
    ASSERT_NE (query, nullptr);
    EXPECT_TRUE (query->wasLaunched());
    EXPECT_FALSE (processor.isTimerRunning (T::versionCheckTimer)) << "one-shot";

    processor.timerCallback (T::versionCheckTimer);
    EXPECT_EQ (processor.getVersionQuery(), query) << "one check per instance";
}

INSTANTIATE_TEST_SUITE_P (Settings, VersionCheckTest, ::testing::Values (
    UpdateCheckCase { nullptr, true },
    UpdateCheckCase { "1", true },
    UpdateCheckCase { "0", false }),
    [] (const auto& info)
    {
        return info.param.stored == nullptr ? std::string ("Absent") : std::string (*info.param.stored == '1' ? "True" : "False");
    });
