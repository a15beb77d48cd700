#include "ProcessorTestBase.h"
#include <thread>

using Report = RecordingTreeListener::Report;

class AudioValueTreeStateTest : public ProcessorTestBase
{
protected:
    void SetUp() override
    {
        ProcessorTestBase::SetUp();
        tree().addListener (&listener);
    }

    void TearDown() override
    {
        tree().removeListener (&listener);
        ProcessorTestBase::TearDown();
    }

    RecordingTreeListener listener;
};

TEST_F (AudioValueTreeStateTest, HostChangeOnAnotherThreadReachesListenersOnceOnTheNextTick)
{
    auto& vol = param ("vol");

    std::thread host ([&vol] { hostSet (vol, 100); });
    host.join();

    EXPECT_TRUE (listener.reports.empty()) << "nothing is reported off the message thread";
    ASSERT_TRUE (pumpUntil ([&] { return ! listener.reports.empty(); }, 700));
    pump (150);

    EXPECT_EQ (listener.reports, (std::vector<Report> { { "vol", 100, 85 } }));
    EXPECT_EQ ((int) vol.valueTree.getProperty (ID::value), 100);
}

struct LinkCase
{
    const char* link;
    int linkValue;
    const char* moved;
    const char* partner;
    int value;
    int expectedController;
    int expectedPartner;
};

class LinkedPairTest : public AudioValueTreeStateTest,
                       public ::testing::WithParamInterface<LinkCase> {};

TEST_P (LinkedPairTest, AMoveIsReportedOnceForTheParameterThatMoved)
{
    const auto c = GetParam();
    param (c.link).set (c.linkValue, GestureTracker::sourceOther);
    listener.reports.clear();

    param (c.moved).set (c.value, GestureTracker::sourceEditor);
    pump (50);

    EXPECT_EQ (listener.reports, (std::vector<Report> { { c.moved, c.value, c.expectedController } }));
    EXPECT_EQ (param (c.partner).get(), c.expectedPartner);
    EXPECT_EQ ((int) param (c.partner).valueTree.getProperty (ID::value), c.expectedPartner);
}

INSTANTIATE_TEST_SUITE_P (Pairs, LinkedPairTest, ::testing::Values (
    LinkCase { "adcLink", 1, "adcL", "adcR", 80, 105, 80 },
    LinkCase { "adcLink", 0, "adcL", "adcR", 80, 106, 63 },
    LinkCase { "adcLink", 1, "adcR", "adcL", 20, 105, 20 },
    LinkCase { "dacLink", 1, "dacL", "dacR", 90, -1, 90 },
    LinkCase { "dacLink", 0, "dacR", "dacL", 90, -1, 63 }),
    [] (const auto& info)
    {
        return std::string (info.param.moved) + (info.param.linkValue != 0 ? "Linked" : "Unlinked");
    });

TEST_F (AudioValueTreeStateTest, SettingTheValueAParameterAlreadyHasReportsNothing)
{
    param ("sus").set (63, GestureTracker::sourceOther);
    param ("sus").set (63, GestureTracker::sourceEditor);
    tree().runTimerTick();
    pump (120);

    EXPECT_TRUE (listener.reports.empty());
}

TEST_F (AudioValueTreeStateTest, ATreeEditMovesTheParameter)
{
    tree().getParameter ("ton")->valueTree.setProperty (ID::value, 17, nullptr);

    EXPECT_EQ (param ("ton").get(), 17);
    EXPECT_EQ (listener.reports, (std::vector<Report> { { "ton", 17, 88 } }));
}

TEST_F (AudioValueTreeStateTest, TimerRunsFastWhileChangesFlowAndBacksOffWhenIdle)
{
    tree().runTimerTick();   // settle whatever construction left pending

    std::vector<int> intervals;
    for (int i = 0; i < 28; ++i)
    {
        tree().runTimerTick();
        intervals.push_back (tree().getTimerIntervalMs());
    }

    EXPECT_EQ (intervals[0] % 20, 0);
    EXPECT_EQ (intervals.back(), 500);
    for (size_t i = 1; i < intervals.size(); ++i)
        EXPECT_EQ (intervals[i], juce::jmin (500, intervals[i - 1] + 20));

    std::thread ([this] { hostSet (param ("vol"), 3); }).join();
    tree().runTimerTick();
    EXPECT_EQ (tree().getTimerIntervalMs(), 20);
    tree().runTimerTick();
    EXPECT_EQ (tree().getTimerIntervalMs(), 50);
}

TEST_F (AudioValueTreeStateTest, ParametersAndTreeMatchTheirDefinitions)
{
    const std::vector<std::pair<const char*, int>> expected {
        { "vol", 128 }, { "ton", 128 }, { "sus", 128 }, { "adcLink", 2 }, { "adcL", 128 }, { "adcR", 128 },
        { "dacLink", 2 }, { "dacL", 128 }, { "dacR", 128 }, { "tonBypass", 2 }, { "tonLattice", 2 },
        { "bypass", 2 }, { "preset", 2 } };

    const auto& parameters = tree().getParameters();
    ASSERT_EQ (parameters.size(), (int) expected.size());

    for (size_t i = 0; i < expected.size(); ++i)
    {
        auto* p = parameters[(int) i];
        SCOPED_TRACE (p->paramID);
        EXPECT_EQ (p->paramID, expected[i].first);
        EXPECT_EQ (p->getNumSteps(), expected[i].second);
        EXPECT_TRUE (p->isMetaParameter());
        EXPECT_EQ (p->isBoolean(), expected[i].second == 2);
        EXPECT_EQ (tree().state.getChild ((int) i).getProperty (ID::id).toString(), p->paramID);
    }

    const auto lattice = tree().state.getChild (10);
    EXPECT_EQ (lattice.getProperty (ID::id).toString(), "tonLattice");
    EXPECT_EQ ((int) lattice.getProperty (ID::value), 0);
    EXPECT_EQ (tree().state.getProperty (ID::version).toString(), "1.0.70");
}

TEST (ParameterText, SwitchTextsAndTheirValues)
{
    using P = AudioValueTreeState::Parameter;
    EXPECT_EQ (P::valueToText (0.4f, 10), "Off");
    EXPECT_EQ (P::valueToText (1.0f, 10), "On");
    EXPECT_EQ (P::valueToText (1.0f, 1), "O");
    EXPECT_EQ (P::valueToText (1.0f, 0), "");
    EXPECT_EQ (P::textToValue ("On"), 1);
    EXPECT_EQ (P::textToValue ("on"), 0);
    EXPECT_EQ (P::textToValue ("Off"), 0);
}
