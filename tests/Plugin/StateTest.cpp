#include "ProcessorTestBase.h"
#include <thread>

class StateTest : public ProcessorTestBase
{
protected:
    juce::MemoryBlock stateOf (ThornvaleAudioProcessor& p)
    {
        juce::MemoryBlock blob;
        p.getStateInformation (blob);
        return blob;
    }

    /** A blob from another instance that differs from a fresh one: vol 17 on program 12. */
    juce::MemoryBlock savedBlob()
    {
        ThornvaleAudioProcessor source;
        source.setProgram (12);
        source.getParameterState().getParameter ("vol")->set (17, GestureTracker::sourceEditor);
        return stateOf (source);
    }
};

TEST_F (StateTest, AFreshInstancesOwnStateIsIgnoredOnlyRightAfterConstruction)
{
    const auto own = stateOf (*processor);
    processor->setStateInformation (own.getData(), (int) own.getSize());
    EXPECT_TRUE (processor->isFreshInstance()) << "the same state within 300 ms is dropped";

    processor->setStateInformation (own.getData(), (int) own.getSize());
    EXPECT_FALSE (processor->isFreshInstance()) << "the arbiter only ever drops the first one";

    auto later = std::make_unique<ThornvaleAudioProcessor>();
    ASSERT_TRUE (pumpUntil ([&] { return later->getStateArbiter().initialState.isEmpty(); }, 1500));
    const auto again = stateOf (*later);
    later->setStateInformation (again.getData(), (int) again.getSize());
    EXPECT_FALSE (later->isFreshInstance()) << "after 300 ms it is applied";
}

TEST_F (StateTest, ARestoredStateIsOneProgramLoad)
{
    const auto blob = savedBlob();
    processor->setStateInformation (blob.getData(), (int) blob.getSize());

    EXPECT_EQ (processor->getCurrentProgram(), 12);
    EXPECT_EQ (processor->getPresetName(), "ComfortablyThorn");
    EXPECT_TRUE (processor->isModified());
    EXPECT_EQ (param ("vol").get(), 17);
    EXPECT_EQ (param ("bypass").get(), 1);
}

TEST_F (StateTest, AStateFromAnotherThreadIsAppliedLaterOnTheMessageThread)
{
    const auto blob = savedBlob();
    std::thread host ([&] { processor->setStateInformation (blob.getData(), (int) blob.getSize()); });
    host.join();

    EXPECT_EQ (param ("vol").get(), 63) << "nothing changes before the message thread runs";
    ASSERT_TRUE (pumpUntil ([&] { return param ("vol").get() == 17; }));
}

TEST_F (StateTest, ADeferredStateForAnInstanceThatIsGoneIsDropped)
{
    const auto blob = savedBlob();
    std::thread host ([&] { processor->setStateInformation (blob.getData(), (int) blob.getSize()); });
    host.join();

    processor.reset();
    pump (100);   // the posted restore runs now and must find nobody
    processor = std::make_unique<ThornvaleAudioProcessor>();
}

TEST_F (StateTest, BrokenBlobsChangeNothing)
{
    const auto good = savedBlob();
    const auto* bytes = static_cast<const char*> (good.getData());

    const auto withLength = [] (juce::uint32 length, const juce::String& xml)
    {
        juce::MemoryOutputStream out;
        out.writeInt (0x21324356);
        out.writeInt ((int) length);
        out << xml;
        out.writeByte (0);
        return out.getMemoryBlock();
    };

    struct Case { const char* name; juce::MemoryBlock blob; bool clearsFresh; };
    const Case cases[] = {
        { "empty", {}, false },
        { "eight bytes", juce::MemoryBlock (bytes, 8), false },
        { "truncated", juce::MemoryBlock (bytes, good.getSize() / 2), false },
        { "no magic", [&] { auto b = good; static_cast<char*> (b.getData())[0] ^= 1; return b; }(), false },
        { "zero length", withLength (0, "<Thornvale/>"), false },
        { "not XML", withLength (12, "not xml at all"), false },
        { "length beyond the data", withLength (100000, "<Thornvale version=\"1.0.70\"/>"), true },
        { "foreign root", withLength (20, "<Other vol=\"5\"/>"), true },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        processor = std::make_unique<ThornvaleAudioProcessor>();
        processor->getStateArbiterForTesting().timerCallback();

        processor->setStateInformation (c.blob.getData(), (int) c.blob.getSize());

        EXPECT_EQ (processor->isFreshInstance(), ! c.clearsFresh);
        EXPECT_EQ (processor->getCurrentProgram(), 0);
        EXPECT_EQ (param ("vol").get(), 63);
    }
}

TEST_F (StateTest, ProcessingInstructionsInsideTheDocumentAreSkipped)
{
    // The framework's reader never returns from this one; ours drops the instruction first.
    const juce::String xml ("<?xml version=\"1.0\"?><Thornvale version=\"1.0.70\"><?junk?>text"
                            "<PARAM id=\"vol\" value=\"9\"/><PRESET name=\"Default\" program=\"0\" modified=\"1\"/></Thornvale>");
    juce::MemoryOutputStream out;
    out.writeInt (0x21324356);
    out.writeInt ((int) xml.getNumBytesAsUTF8());
    out << xml;
    out.writeByte (0);
    const auto blob = out.getMemoryBlock();

    processor->getStateArbiterForTesting().timerCallback();
    processor->setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_EQ (param ("vol").get(), 9);
}
