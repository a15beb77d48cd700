#include "ProcessorTestBase.h"
#include "HostRecorder.h"
#include "Utilities/ButtonAttachment.h"
#include "Utilities/SliderAttachment.h"
#include <cstring>
#include <thread>

namespace
{
    /** A window's peer with no display behind it: its coordinates are the screen's, it draws
        nothing, and the events given to it take JUCE's own way through a mouse input source,
        the component under the pointer, the component's mouse handling and its mouse listeners.

        Presses, drags and releases act where the event says. Only hover states (is the pointer
        over a button?) ask the windowing system where the real pointer is, which with no
        display is nowhere; the cases here do not depend on the answer.
    */
    class HeadlessPeer : public juce::ComponentPeer
    {
    public:
        HeadlessPeer (juce::Component& c, int styleFlags) : juce::ComponentPeer (c, styleFlags) {}

        void* getNativeHandle() const override                                  { return nullptr; }
        void setVisible (bool) override                                         {}
        void setTitle (const juce::String&) override                            {}
        void setBounds (const juce::Rectangle<int>& newBounds, bool) override   { bounds = newBounds; }
        juce::Rectangle<int> getBounds() const override                         { return bounds; }
        juce::Point<float> localToGlobal (juce::Point<float> p) override        { return p + bounds.getPosition().toFloat(); }
        juce::Point<float> globalToLocal (juce::Point<float> p) override        { return p - bounds.getPosition().toFloat(); }
        void setMinimised (bool) override                                       {}
        bool isMinimised() const override                                       { return false; }
        void setFullScreen (bool) override                                      {}
        bool isFullScreen() const override                                      { return false; }
        void setIcon (const juce::Image&) override                              {}
        bool contains (juce::Point<int> p, bool) const override                 { return bounds.withZeroOrigin().contains (p); }
        OptionalBorderSize getFrameSizeIfPresent() const override               { return {}; }
        juce::BorderSize<int> getFrameSize() const override                     { return {}; }
        bool setAlwaysOnTop (bool) override                                     { return false; }
        void toFront (bool) override                                            {}
        void toBehind (juce::ComponentPeer*) override                           {}
        bool isFocused() const override                                         { return true; }
        void grabFocus() override                                               {}
        void textInputRequired (juce::Point<int>, juce::TextInputTarget&) override {}
        void repaint (const juce::Rectangle<int>&) override                     {}
        void performAnyPendingRepaintsNow() override                            {}
        void setAlpha (float) override                                          {}
        juce::StringArray getAvailableRenderingEngines() override               { return {}; }

    private:
        juce::Rectangle<int> bounds;
    };

    /** A top-level window on a HeadlessPeer, with a mouse to press, drag and release on the
        controls inside it. */
    class HeadlessWindow : public juce::Component
    {
    public:
        HeadlessWindow()
        {
            setBounds (0, 0, 400, 200);
            setVisible (true);
            addToDesktop (0);
        }

        juce::ComponentPeer* createNewPeer (int styleFlags, void*) override
        {
            return new HeadlessPeer (*this, styleFlags);
        }

        void press (juce::Component& c, juce::Point<float> p)    { send (c, p, juce::ModifierKeys::leftButtonModifier); }
        void dragTo (juce::Component& c, juce::Point<float> p)   { send (c, p, juce::ModifierKeys::leftButtonModifier); }
        void release (juce::Component& c, juce::Point<float> p)  { send (c, p, {}); }

        void click (juce::Component& c)
        {
            const auto centre = c.getLocalBounds().getCentre().toFloat();
            press (c, centre);
            release (c, centre);
        }

    private:
        void send (juce::Component& c, juce::Point<float> positionInControl, juce::ModifierKeys mods)
        {
            getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse,
                                         getLocalPoint (&c, positionInControl), mods,
                                         juce::MouseInputSource::defaultPressure,
                                         juce::MouseInputSource::defaultOrientation,
                                         ++time);
        }

        juce::int64 time = juce::Time::currentTimeMillis();
    };


    /** Room for one object that stays in place after the object is destroyed and is zeroed then:
        anything still holding a pointer to the object crashes on its next virtual call instead of
        quietly running on stale memory. */
    template <typename ObjectType>
    class Remains
    {
    public:
        template <typename... Args>
        ObjectType& create (Args&&... args)
        {
            return *new (bytes) ObjectType (std::forward<Args> (args)...);
        }

        void destroy (ObjectType& object)
        {
            object.~ObjectType();
            std::memset (bytes, 0, sizeof (bytes));
        }

    private:
        alignas (ObjectType) unsigned char bytes[sizeof (ObjectType)];
    };

    juce::Image opaqueImage (juce::Colour colour)
    {
        juce::Image image (juce::Image::ARGB, 40, 40, true);
        juce::Graphics (image).fillAll (colour);
        return image;
    }
}

/** The pedal face in small: two knobs and the tone-bypass image button in a window, on a
    processor whose host gestures are recorded. The first value of a gesture is held back, as
    inside the plug-in wrappers. */
class ControlAttachmentTest : public ProcessorTestBase
{
protected:
    void SetUp() override
    {
        ProcessorTestBase::SetUp();
        tree().getTracker().setHoldEnabled (true);
        processor->addListener (&host);
        tree().addListener (&reports);

        for (auto* knob : { &volKnob, &tonKnob })
        {
            knob->setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
            knob->setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
        }

        bypassButton.setClickingTogglesState (true);
        bypassButton.setImages (false, true, true,
                                opaqueImage (juce::Colours::darkgrey), 1.0f, {},
                                opaqueImage (juce::Colours::grey), 1.0f, {},
                                opaqueImage (juce::Colours::orange), 1.0f, {});

        volKnob.setBounds (20, 20, 80, 80);
        tonKnob.setBounds (120, 20, 80, 80);
        bypassButton.setBounds (220, 40, 40, 40);

        for (auto* c : std::initializer_list<juce::Component*> { &volKnob, &tonKnob, &bypassButton })
            window.addAndMakeVisible (c);
    }

    void TearDown() override
    {
        tree().removeListener (&reports);
        processor->removeListener (&host);
        ProcessorTestBase::TearDown();
    }

    int indexOf (const char* id)   { return param (id).getParameterIndex(); }

    GestureTracker::GestureState& gestureOf (const char* id)
    {
        return *tree().getTracker().findState (&param (id));
    }

    bool allGesturesClosed()
    {
        for (auto* s : tree().getTracker().getStates())
            if (! s->idle)
                return false;
        return true;
    }

    HostRecorder host;
    RecordingTreeListener reports;
    HeadlessWindow window;
    juce::Slider volKnob, tonKnob;
    juce::ImageButton bypassButton;
};

using Report = RecordingTreeListener::Report;

TEST_F (ControlAttachmentTest, ControlsShowTheValuesTheTreeHoldsWhenAttached)
{
    param ("vol").set (90, GestureTracker::sourceProgram);
    param ("tonBypass").set (1, GestureTracker::sourceProgram);

    SliderAttachment vol (tree(), "vol", volKnob);
    ButtonAttachment bypass (tree(), "tonBypass", bypassButton);

    EXPECT_EQ (volKnob.getValue(), 90.0);
    EXPECT_EQ (volKnob.getMinimum(), 0.0);
    EXPECT_EQ (volKnob.getMaximum(), 127.0);
    EXPECT_EQ (volKnob.getInterval(), 1.0);
    EXPECT_TRUE (bypassButton.getToggleState());
}

TEST_F (ControlAttachmentTest, HostAutomationMovesTheControlWithoutCallingBackIntoTheParameter)
{
    SliderAttachment vol (tree(), "vol", volKnob);
    ButtonAttachment bypass (tree(), "tonBypass", bypassButton);

    // As a host does it: the framework's setValue on its own thread, picked up by the tree's timer.
    std::thread automation ([this] { hostSet (param ("vol"), 100); hostSet (param ("tonBypass"), 1); });
    automation.join();

    ASSERT_TRUE (pumpUntil ([&] { return volKnob.getValue() == 100.0 && bypassButton.getToggleState(); }, 1500));
    pump (100);

    EXPECT_EQ (reports.reports, (std::vector<Report> { { "vol", 100, 85 }, { "tonBypass", 1, 108 } }));
    EXPECT_TRUE (host.events.empty()) << "an echo from a control would reach the host as a gesture and a value";
    EXPECT_TRUE (allGesturesClosed());
}

TEST_F (ControlAttachmentTest, DraggingAKnobIsOneGestureThatReportsEachValueOnce)
{
    SliderAttachment vol (tree(), "vol", volKnob);
    param ("vol").set (10, GestureTracker::sourceProgram);
    ASSERT_EQ (volKnob.getValue(), 10.0);
    host.events.clear();
    reports.reports.clear();
    const int index = indexOf ("vol");

    auto at = volKnob.getLocalBounds().getCentre().toFloat();
    window.press (volKnob, at);
    EXPECT_EQ (host.kinds (index), "b") << "the gesture begins at mouse down";
    // The user holds the knob a moment before moving it: past the hold of the gesture's first value.
    ASSERT_TRUE (pumpUntil ([&] { return ! gestureOf ("vol").holding; }, 1000));

    // Upwards one pixel at a time: about half a step per move, so most values come twice.
    for (int moves = 0; volKnob.getValue() < 20.0 && moves < 100; ++moves)
    {
        at.y -= 1.0f;
        window.dragTo (volKnob, at);
        pump (2);
    }

    ASSERT_EQ (volKnob.getValue(), 20.0);
    EXPECT_EQ (host.kinds (index), "bvvvvvvvvvv") << "no end before mouse up";

    window.release (volKnob, at);
    EXPECT_EQ (host.kinds (index), "bvvvvvvvvvve");

    std::vector<int> hostValues, expected;
    for (auto& e : host.events)
        if (e.kind == 'v')
            hostValues.push_back (juce::roundToInt (param ("vol").getNormalisableRange().convertFrom0to1 (e.value)));

    std::vector<Report> expectedReports;
    for (int v = 11; v <= 20; ++v)
    {
        expected.push_back (v);
        expectedReports.push_back ({ "vol", v, 85 });
    }

    EXPECT_EQ (hostValues, expected);
    EXPECT_EQ (reports.reports, expectedReports);
    EXPECT_EQ (param ("vol").get(), 20);
    EXPECT_TRUE (allGesturesClosed());
}

TEST_F (ControlAttachmentTest, ClickingTheToneBypassButtonTogglesItInsideAGesture)
{
    ButtonAttachment bypass (tree(), "tonBypass", bypassButton);
    const int index = indexOf ("tonBypass");

    for (const int expected : { 1, 0 })
    {
        SCOPED_TRACE (expected);
        host.events.clear();

        window.click (bypassButton);

        EXPECT_EQ (bypassButton.getToggleState(), expected == 1);
        EXPECT_EQ (host.kinds (index), "b") << "the value and the end wait for the hold";

        ASSERT_TRUE (pumpUntil ([&] { return host.first ('e', index) != nullptr; }, 1000));
        EXPECT_EQ (host.kinds (index), "bve");
        EXPECT_EQ (host.first ('v', index)->value, (float) expected);
        EXPECT_EQ (param ("tonBypass").get(), expected);
    }

    EXPECT_EQ (reports.reports, (std::vector<Report> { { "tonBypass", 1, 108 }, { "tonBypass", 0, 108 } }));
}

TEST_F (ControlAttachmentTest, APedalChangeMovesTheKnobAndLeavesTheGestureToThePedal)
{
    SliderAttachment ton (tree(), "ton", tonKnob);
    const int index = indexOf ("ton");

    param ("ton").set (40, GestureTracker::sourcePedal);

    ASSERT_TRUE (pumpUntil ([&] { return tonKnob.getValue() == 40.0; }, 1000));
    EXPECT_EQ (gestureOf ("ton").gestureSource, GestureTracker::sourcePedal)
        << "an editor source would stop the pedal's time-out and leave the gesture open";

    ASSERT_TRUE (pumpUntil ([&] { return host.first ('e', index) != nullptr; }, 1000));
    EXPECT_EQ (host.kinds (index), "bve");
    EXPECT_EQ (reports.reports, (std::vector<Report> { { "ton", 40, 88 } }));
}

//==============================================================================
/** Changes that no mouse up follows still give the host a closed gesture. */
struct InputWithoutMouseUp
{
    const char* name;
    const char* parameterId;
    int startValue;
    std::function<void (HeadlessWindow&, juce::Slider&, juce::ImageButton&)> act;
    int expectedValue;
};

void PrintTo (const InputWithoutMouseUp& c, std::ostream* os)   { *os << c.name; }

class ControlInputWithoutMouseUpTest : public ControlAttachmentTest,
                                       public ::testing::WithParamInterface<InputWithoutMouseUp> {};

TEST_P (ControlInputWithoutMouseUpTest, IsAGestureOfItsOwn)
{
    const auto& c = GetParam();
    SliderAttachment vol (tree(), "vol", volKnob);
    ButtonAttachment bypass (tree(), "tonBypass", bypassButton);
    param (c.parameterId).set (c.startValue, GestureTracker::sourceProgram);
    host.events.clear();

    c.act (window, volKnob, bypassButton);

    const int index = indexOf (c.parameterId);
    ASSERT_TRUE (pumpUntil ([&] { return param (c.parameterId).get() == c.expectedValue && allGesturesClosed(); }, 1000))
        << host.kinds (index);

    const auto kinds = host.kinds (index);
    EXPECT_EQ (std::count (kinds.begin(), kinds.end(), 'b'), std::count (kinds.begin(), kinds.end(), 'e')) << kinds;
    EXPECT_EQ (kinds.substr (kinds.size() - 3), "bve") << kinds;
}

INSTANTIATE_TEST_SUITE_P (Inputs, ControlInputWithoutMouseUpTest, ::testing::Values (
    InputWithoutMouseUp { "ReturnKeyOnTheFocusedButton", "tonBypass", 0,
        [] (HeadlessWindow& w, juce::Slider&, juce::ImageButton& button)
        {
            button.grabKeyboardFocus();
            w.getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
        }, 1 },
    InputWithoutMouseUp { "DoubleClickReturnsTheKnobToItsDefault", "vol", 90,
        [] (HeadlessWindow& w, juce::Slider& knob, juce::ImageButton&)
        {
            knob.setDoubleClickReturnValue (true, 63.0);
            w.click (knob);
            w.click (knob);
        }, 63 }),
    [] (const auto& info) { return std::string (info.param.name); });

//==============================================================================
TEST_F (ControlAttachmentTest, ControlsThatOutliveTheirAttachmentsAreLeftAlone)
{
    Remains<SliderAttachment> volRemains;
    Remains<ButtonAttachment> bypassRemains;
    volRemains.destroy (volRemains.create (tree(), "vol", volKnob));
    bypassRemains.destroy (bypassRemains.create (tree(), "tonBypass", bypassButton));

    // User input on the controls, then program changes of the parameters: none of it may reach
    // the attachments' remains.
    auto at = volKnob.getLocalBounds().getCentre().toFloat();
    window.press (volKnob, at);
    for (int i = 0; i < 10; ++i)
        window.dragTo (volKnob, at.translated (0.0f, (float) -i));
    window.release (volKnob, at);
    window.click (bypassButton);
    bypassButton.grabKeyboardFocus();
    window.getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
    pump (150);

    EXPECT_NE (volKnob.getValue(), 63.0) << "the knob itself still turns";
    EXPECT_EQ (param ("vol").get(), 63);
    EXPECT_EQ (param ("tonBypass").get(), 0);
    EXPECT_TRUE (host.events.empty());

    const auto knobValue = volKnob.getValue();
    const auto buttonState = bypassButton.getToggleState();
    param ("vol").set (5, GestureTracker::sourceProgram);
    param ("tonBypass").set (buttonState ? 0 : 1, GestureTracker::sourceProgram);

    EXPECT_EQ (volKnob.getValue(), knobValue);
    EXPECT_EQ (bypassButton.getToggleState(), buttonState);
}
