#include "ProcessorTestBase.h"
#include "HostRecorder.h"

class GestureTrackerTest : public ProcessorTestBase
{
protected:
    void SetUp() override
    {
        ProcessorTestBase::SetUp();
        tree().getTracker().setHoldEnabled (true);   // as inside the plug-in wrappers
        processor->addListener (&host);
    }

    void TearDown() override
    {
        processor->removeListener (&host);
        ProcessorTestBase::TearDown();
    }

    int indexOf (const char* id)   { return param (id).getParameterIndex(); }

    HostRecorder host;
};

TEST_F (GestureTrackerTest, PedalMovesMakeOneGestureThatEndsAfterTheLastMove)
{
    const int vol = indexOf ("vol");
    juce::uint32 lastMove = 0;

    for (int i = 0; i < 5; ++i)
    {
        param ("vol").set (70 + i, GestureTracker::sourcePedal);
        lastMove = juce::Time::getMillisecondCounter();
        pump (100);
    }

    ASSERT_TRUE (pumpUntil ([&] { return host.first ('e', vol) != nullptr; }, 1500));

    const auto kinds = host.kinds (vol);
    EXPECT_EQ (kinds.front(), 'b');
    EXPECT_EQ (kinds.back(), 'e');
    EXPECT_EQ (std::count (kinds.begin(), kinds.end(), 'b'), 1);
    EXPECT_EQ (std::count (kinds.begin(), kinds.end(), 'e'), 1);
    EXPECT_GE (std::count (kinds.begin(), kinds.end(), 'v'), 4);

    EXPECT_GE (host.first ('v', vol)->time - host.first ('b', vol)->time, 79u) << "the first value waits for the hold";
    EXPECT_GE (host.first ('e', vol)->time - lastMove, 299u) << "the gesture ends a timeout after the last move";
    EXPECT_EQ (param ("vol").get(), 74);
}

TEST_F (GestureTrackerTest, AnEditorClickShowsBeginThenValueThenEnd)
{
    const int lattice = indexOf ("tonLattice");

    param ("tonLattice").set (1, GestureTracker::sourceEditor);          // mouse down + click
    tree().getTracker().endGesture (&param ("tonLattice"), GestureTracker::sourceEditor);   // mouse up

    EXPECT_EQ (host.kinds (lattice), "b") << "value and end wait for the hold";
    ASSERT_TRUE (pumpUntil ([&] { return host.first ('e', lattice) != nullptr; }, 1000));

    EXPECT_EQ (host.kinds (lattice), "bve");
    EXPECT_GE (host.first ('v', lattice)->time - host.first ('b', lattice)->time, 79u);
    EXPECT_EQ (param ("tonLattice").get(), 1);
}

TEST_F (GestureTrackerTest, AnEditorDragLastsUntilMouseUp)
{
    const int ton = indexOf ("ton");

    param ("ton").set (10, GestureTracker::sourceEditor);
    ASSERT_TRUE (pumpUntil ([&] { return host.first ('v', ton) != nullptr; }, 1000)) << "the hold ends";
    param ("ton").set (20, GestureTracker::sourceEditor);
    pump (400);
    EXPECT_EQ (host.kinds (ton), "bvv") << "no time-out for editor gestures";

    tree().getTracker().endGesture (&param ("ton"), GestureTracker::sourceEditor);
    EXPECT_EQ (host.kinds (ton), "bvve");
}

TEST_F (GestureTrackerTest, AProgramLoadClosesAnOpenPedalGestureBeforeChangingTheValue)
{
    tree().getTracker().setHoldEnabled (false);
    const int ton = indexOf ("ton");

    param ("ton").set (10, GestureTracker::sourcePedal);
    ASSERT_EQ (host.kinds (ton), "bv");

    processor->setProgram (11);   // "Black Tees": ton 33

    EXPECT_EQ (host.kinds (ton), "bvev");
    EXPECT_EQ (param ("ton").get(), 33);
    pump (400);
    EXPECT_EQ (host.kinds (ton), "bvev") << "no second end from the time-out";
}

TEST_F (GestureTrackerTest, ParametersHiddenFromTheHostChangeWithoutGestures)
{
    param ("adcL").set (90, GestureTracker::sourcePedal);

    EXPECT_EQ (param ("adcL").get(), 90);
    EXPECT_EQ (tree().getTracker().findState (&param ("adcL")), nullptr);
    for (auto& e : host.events)
        EXPECT_NE (e.kind, 'b');
}

TEST_F (GestureTrackerTest, RepeatedValueNotifiesOnlyForGestureSources)
{
    tree().getTracker().setHoldEnabled (false);
    const int sus = indexOf ("sus");

    param ("sus").set (63, GestureTracker::sourceProgram);
    EXPECT_EQ (host.kinds (sus), "");

    param ("sus").set (63, GestureTracker::sourceEditor);
    EXPECT_EQ (host.kinds (sus), "bv");
    tree().getTracker().endGesture (&param ("sus"), GestureTracker::sourceEditor);
}

TEST_F (GestureTrackerTest, APedalMoveDuringAnEditorDragHandsTheGestureToTheTimeout)
{
    tree().getTracker().setHoldEnabled (false);
    const int vol = indexOf ("vol");

    param ("vol").set (10, GestureTracker::sourceEditor);
    param ("vol").set (11, GestureTracker::sourcePedal);
    tree().getTracker().endGesture (&param ("vol"), GestureTracker::sourceEditor);   // no longer the editor's
    EXPECT_EQ (host.kinds (vol), "bvv");

    ASSERT_TRUE (pumpUntil ([&] { return host.first ('e', vol) != nullptr; }, 1000));
    EXPECT_EQ (host.kinds (vol), "bvve");
}
