#include "ProcessorTestBase.h"

/** A processor whose user folder holds the given preset files before it is created. */
class PresetLibraryTest : public ProcessorTestBase
{
protected:
    void SetUp() override {}   // each test writes its files first, then calls create()

    void writeUserFile (const juce::String& fileName, const std::string& bytes)
    {
        const auto folder = home.getSettingsFolder().getChildFile ("User");
        folder.createDirectory();
        const auto file = folder.getChildFile (fileName);
        file.deleteFile();
        file.create();
        file.appendData (bytes.data(), bytes.size());
    }

    void create()   { processor = std::make_unique<ThornvaleAudioProcessor>(); }

    juce::File userFolder() const   { return home.getSettingsFolder().getChildFile ("User"); }
};

TEST_F (PresetLibraryTest, FactoryPresetsLoadSortedWithTheirValues)
{
    create();
    const auto& factory = processor->getFactoryPresets();
    ASSERT_EQ (factory.size(), 17);

    for (int i = 1; i < factory.size(); ++i)
        EXPECT_LT (factory[i - 1]->getName().toLowerCase(), factory[i]->getName().toLowerCase());

    processor->setProgram (23);   // "Pumpkin Dream"
    EXPECT_EQ (processor->getPresetName(), "Pumpkin Dream");
    const std::pair<const char*, int> values[] = {
        { "vol", 69 }, { "ton", 65 }, { "sus", 127 }, { "tonBypass", 0 }, { "tonLattice", 0 },
        { "adcL", 63 }, { "adcR", 63 }, { "adcLink", 1 }, { "dacL", 111 }, { "dacR", 111 }, { "dacLink", 1 } };
    for (auto [id, v] : values)
        EXPECT_EQ (param (id).get(), v) << id;

    EXPECT_EQ (param ("preset").get(), 1);
    processor->setProgram (0);
    EXPECT_EQ (param ("preset").get(), 0);
}

TEST_F (PresetLibraryTest, UserPresetsAreNumberedAfterTheFactoryOnesInNameOrder)
{
    writeUserFile ("b.mfp", R"({"vol": 1})");
    writeUserFile ("A.mfp", R"({"vol": 2})");
    writeUserFile ("c.mfp", R"({"vol": 3})");
    create();

    EXPECT_EQ (processor->getNumPrograms(), 31);
    EXPECT_EQ (processor->getProgramName (28), "A");
    EXPECT_EQ (processor->getProgramName (29), "b");
    EXPECT_EQ (processor->getProgramName (30), "c");
    EXPECT_EQ (processor->getProgramName (31), "");

    writeUserFile ("d.mfp", "{}");
    processor->loadUserPresets();
    EXPECT_EQ (processor->getNumPrograms(), 32) << "a rescan finds files added outside the plug-in";
}

TEST_F (PresetLibraryTest, UnreadableFilesGiveDefaultsNamedAfterTheFile)
{
    const std::string contents[] = { "", "not json {", "[1, 2, 3]", "\"text\"", "\xff\xfe\x01\x02",
                                     "{\"vol\": \xc3\x28}", std::string ("{\"vol\"\0: 5}", 11) };
    int i = 0;
    for (auto& content : contents)
        writeUserFile ("Broken" + juce::String (i++) + ".mfp", content);
    writeUserFile ("A very long file name indeed.mfp", R"({"name": "ignored", "vol": 7})");
    create();

    const auto& user = processor->getUserPresets();
    ASSERT_EQ (user.size(), 8);
    EXPECT_EQ (user[0]->getName(), "A very long fil") << "the first 15 characters of the file name";
    EXPECT_EQ (user[0]->getIntValue ("vol"), 7);

    for (int k = 1; k < user.size(); ++k)
    {
        EXPECT_TRUE (user[k]->getName().startsWith ("Broken"));
        EXPECT_EQ (user[k]->getIntValue ("vol"), 63);
        EXPECT_EQ (user[k]->getIntValue ("adcLink"), 1);
    }
}

TEST_F (PresetLibraryTest, SavingReplacesASameNamedPresetInAnyCaseAndSelectsIt)
{
    writeUserFile ("Crunch.mfp", R"({"vol": 1})");
    create();
    ASSERT_EQ (processor->getNumPrograms(), 29);

    param ("vol").set (99, GestureTracker::sourceEditor);
    const auto file = ThornvaleAudioProcessor::getUserPresetFile ("CRUNCH");
    const int program = processor->saveUserPreset (file, std::make_unique<PresetFormat> (processor->getParameters ("CRUNCH"), "CRUNCH"));

    EXPECT_EQ (program, 28);
    EXPECT_EQ (processor->getNumPrograms(), 29) << "replaced, not added";
    EXPECT_EQ (processor->getProgramName (28), "CRUNCH");
    EXPECT_TRUE (file.existsAsFile());

    processor->setCurrentProgram (program);
    EXPECT_EQ (processor->getCurrentProgram(), 28);
    EXPECT_FALSE (processor->isModified());
    EXPECT_EQ (param ("vol").get(), 99);
}

TEST_F (PresetLibraryTest, AFailedSaveChangesNothing)
{
    create();
    const int before = processor->getNumPrograms();

    // A folder stands where the file would go: the write fails.
    const auto blocked = ThornvaleAudioProcessor::getUserPresetFile ("Blocked");
    ASSERT_TRUE (blocked.createDirectory());

    EXPECT_EQ (processor->saveUserPreset (blocked, std::make_unique<PresetFormat> (juce::var(), "Blocked")), -1);
    EXPECT_EQ (processor->getNumPrograms(), before) << "no preset in the list that is not on disk";

    // A file outside the user folder is refused.
    const auto outside = home.getFolder().getChildFile ("Outside.mfp");
    EXPECT_EQ (processor->saveUserPreset (outside, std::make_unique<PresetFormat> (juce::var(), "Outside")), -1);
    EXPECT_FALSE (outside.exists());
}

TEST_F (PresetLibraryTest, UnsafeNamesStayInsideTheUserFolder)
{
    create();

    for (auto* name : { "../../escape", "/etc/passwd", "..\\..\\win", "..", ".hidden", "a\nb" })
    {
        const auto file = ThornvaleAudioProcessor::getUserPresetFile (name);
        EXPECT_EQ (file.getParentDirectory(), userFolder()) << name;
        EXPECT_FALSE (file.getFileName().startsWithChar ('.')) << name;
        EXPECT_GE (processor->saveUserPreset (file, std::make_unique<PresetFormat> (juce::var(), name)), 28) << name;
    }

    EXPECT_EQ (home.getFolder().findChildFiles (juce::File::findFiles, true, "*.mfp").size(),
               userFolder().findChildFiles (juce::File::findFiles, false, "*.mfp").size());
}

TEST_F (PresetLibraryTest, ProgramZeroKeepsTheLiveSettings)
{
    create();
    param ("vol").set (90, GestureTracker::sourceEditor);
    processor->setProgram (12);
    EXPECT_EQ (param ("vol").get(), 69);

    processor->setProgram (0);
    EXPECT_EQ (param ("vol").get(), 90);
    EXPECT_EQ (processor->getPresetName(), "Default");
}

TEST_F (PresetLibraryTest, PedalProgramsBeforeThePedalAnswered)
{
    create();
    processor->setProgram (5);

    EXPECT_EQ (processor->getPresetName(), "Preset 4");
    for (auto* id : { "vol", "ton", "sus", "adcL", "adcR", "tonBypass", "tonLattice" })
        EXPECT_EQ (param (id).get(), 0) << id;
    EXPECT_EQ (param ("adcLink").get(), 1);
    EXPECT_EQ (param ("dacL").get(), 63);
    EXPECT_EQ (param ("dacR").get(), 63);
}

TEST_F (PresetLibraryTest, SavedProgramsAreFoundAgainByName)
{
    writeUserFile ("Mine.mfp", "{}");
    create();

    struct Case { int program; const char* name; int expected; };
    const Case cases[] = {
        { -3, "anything", 0 }, { 0, "Default", 0 }, { 7, "anything", 7 },
        { 40, "Nobody", 1 }, { 12, "Black Tees", 11 }, { 26, "Nice Lead", 20 },
        { 11, "black tees", 1 },      // names match case-sensitively
        { 30, "Mine", 28 }, { 28, "Gone", 1 } };

    for (auto& c : cases)
        EXPECT_EQ (processor->validateProgramIndex (c.program, c.name), c.expected) << c.program << " " << c.name;
}

//==============================================================================
class SlotTest : public ProcessorTestBase
{
protected:
    SlotState stateOf (int i) const   { return processor->getSlots().slots[i]->state; }
};

TEST_F (SlotTest, RecallAndToggleBack)
{
    param ("ton").set (40, GestureTracker::sourceEditor);
    processor->saveSlotAction (0);
    EXPECT_EQ (stateOf (0), SlotState::active);

    param ("ton").set (100, GestureTracker::sourceEditor);
    EXPECT_EQ (stateOf (0), SlotState::stored) << "a preset parameter change leaves the slot";

    processor->recallSlotAction (0);
    EXPECT_EQ (stateOf (0), SlotState::active);
    EXPECT_EQ (param ("ton").get(), 40);

    processor->recallSlotAction (0);   // toggle back to the sound before the comparison
    EXPECT_EQ (stateOf (0), SlotState::stored);
    EXPECT_EQ (param ("ton").get(), 100);
}

TEST_F (SlotTest, SwitchingBetweenSlotsTakesNoBackup)
{
    param ("sus").set (10, GestureTracker::sourceEditor);
    processor->saveSlotAction (0);
    param ("sus").set (20, GestureTracker::sourceEditor);
    processor->saveSlotAction (1);

    EXPECT_EQ (stateOf (0), SlotState::stored);
    EXPECT_EQ (stateOf (1), SlotState::active);

    processor->recallSlotAction (0);
    EXPECT_EQ (stateOf (0), SlotState::active);
    EXPECT_EQ (stateOf (1), SlotState::stored);
    EXPECT_EQ (param ("sus").get(), 10);
    EXPECT_EQ (processor->getSlots().backup.state, SlotState::empty) << "B was active: no backup taken";

    processor->recallSlotAction (0);   // toggle back without a backup only deactivates
    EXPECT_EQ (stateOf (0), SlotState::stored);
    EXPECT_EQ (param ("sus").get(), 10);
}

TEST_F (SlotTest, ASlotRemembersItsProgramAndModifiedMark)
{
    processor->setProgram (12);
    param ("vol").set (5, GestureTracker::sourceEditor);
    ASSERT_TRUE (processor->isModified());
    processor->saveSlotAction (1);

    processor->setProgram (3);
    processor->recallSlotAction (1);

    EXPECT_EQ (processor->getCurrentProgram(), 12);
    EXPECT_EQ (processor->getPresetName(), "ComfortablyThorn");
    EXPECT_TRUE (processor->isModified());
    EXPECT_EQ (param ("vol").get(), 5);

    // Program 0 still holds what was live before program 12: the recalled slot was not captured.
    processor->setProgram (0);
    EXPECT_EQ (param ("vol").get(), 63);
}

TEST_F (SlotTest, RecallingAnEmptySlotChangesNothing)
{
    param ("vol").set (33, GestureTracker::sourceEditor);
    processor->recallSlotAction (1);

    EXPECT_EQ (stateOf (1), SlotState::empty);
    EXPECT_EQ (param ("vol").get(), 33);
    processor->recallSlotAction (5);   // no such slot
}
