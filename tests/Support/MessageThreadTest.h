#pragma once

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include "TemporaryHome.h"

/** A fixture for code that runs on JUCE's message thread: the test's own thread is the message
    thread, pump() runs its loop for a while, and each test has its own temporary home folder. */
class MessageThreadTest : public ::testing::Test
{
protected:
    /** Runs the message loop for the given time. */
    static void pump (int milliseconds)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
    }

    /** Runs the message loop until the condition holds or the time-out passes; returns the
        condition's last value. */
    template <typename Condition>
    static bool pumpUntil (Condition&& condition, int timeoutMs = 2000)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

        while (! condition())
        {
            if (juce::Time::getMillisecondCounter() >= end)
                return condition();

            pump (5);
        }

        return true;
    }

    TemporaryHome home;
};
