#pragma once

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

// How long a test waits for something the event loop should bring about before calling it a
// fault: generous, because the sanitizers and a busy shared machine slow everything down.
inline constexpr int kWaitMs = 10000;

// Runs the event loop until done() holds, for at most ms milliseconds. Check it with
// ASSERT_TRUE(waitFor(...)) (or EXPECT_TRUE to go on after a time-out): a time-out fails the
// test and says how long it waited. Qt Test's own retrying checks must not take its place: on a
// time-out they only return from the test function, and GoogleTest then reports a pass.
template <class Condition>
[[nodiscard]] ::testing::AssertionResult waitFor(Condition done, int ms = kWaitMs) {
    if (QTest::qWaitFor(done, ms))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "still not so after waiting " << ms << " ms";
}
