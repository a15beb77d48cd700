#include <gtest/gtest.h>
#include <thread>
#include "Utilities/AtomicMinimum.h"

TEST (AtomicMinimumTest, KeepsTheSmallestValueUntilTaken)
{
    AtomicMinimum m;
    EXPECT_EQ (m.take(), AtomicMinimum::empty);

    for (int v : { 700, 300, 900, 301 })
        m.update (v);

    EXPECT_EQ (m.take(), 300);
    EXPECT_EQ (m.take(), AtomicMinimum::empty);

    m.update (0);
    EXPECT_EQ (m.take(), 0);
}

TEST (AtomicMinimumTest, NoValueIsLostBetweenAnUpdaterAndATaker)
{
    // The updater reports a falling sequence; every value is either still stored or was the
    // minimum of some take, so the smallest value ever taken or left is the last one reported.
    AtomicMinimum m;
    constexpr int count = 200000;

    std::thread updater ([&m] {
        for (int v = count; v >= 0; --v)
            m.update (v);
    });

    int smallest = count + 1;
    while (smallest > 0)
    {
        const int v = m.take();
        if (v != AtomicMinimum::empty)
            smallest = std::min (smallest, v);
    }

    updater.join();
    EXPECT_EQ (smallest, 0);
}
