#include "platform/FaultGuard.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <unistd.h>

namespace fault = platform::fault;

namespace {

volatile int g_zero = 0;
int* volatile g_null = nullptr;

// The faults must reach the guard as signals, also in a build whose sanitizer would stop at them.
#define SELVARIN_RAW_FAULT __attribute__((no_sanitize("undefined", "address")))
SELVARIN_RAW_FAULT void writeNull(void*) { *g_null = 1; }
SELVARIN_RAW_FAULT void divideByZero(void* out) { *static_cast<int*>(out) = 10 / g_zero; }

// Deep enough to run off any thread stack; volatile keeps every frame.
SELVARIN_RAW_FAULT int recurse(int depth)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    return recurse(depth + 1) + frame[0];
}
void overflowStack(void* out) { *static_cast<int*>(out) = recurse(0); }

TEST(FaultGuard, FaultsInsideAGuardedCallReturnControl)
{
    EXPECT_FALSE(fault::callGuarded(writeNull, nullptr));
    EXPECT_EQ(fault::lastFaultSignal(), SIGSEGV);
    int result = 0;
    EXPECT_FALSE(fault::callGuarded(divideByZero, &result));
    EXPECT_EQ(fault::lastFaultSignal(), SIGFPE);
    EXPECT_FALSE(fault::isArmed()) << "a fault leaves the thread disarmed";

    int value = 0;
    auto fine = [&value] { value = 7; };
    EXPECT_TRUE(fault::callGuarded(fine));
    EXPECT_EQ(value, 7);
    EXPECT_EQ(fault::lastFaultSignal(), 0);
}

TEST(FaultGuard, StackOverflowIsCaughtOnTheAlternateStack)
{
    int result = 0;
    EXPECT_FALSE(fault::callGuarded(overflowStack, &result));
    EXPECT_EQ(fault::lastFaultSignal(), SIGSEGV);
    // The guard still works afterwards.
    EXPECT_FALSE(fault::callGuarded(writeNull, nullptr));
}

TEST(FaultGuard, CallsNestAndDisarmedStretchesRestoreTheOuterGuard)
{
    bool innerCaught = false;
    bool armedInCallback = true;
    bool armedAfter = false;
    auto outer = [&] {
        {
            const fault::Disarmed callback;  // as a progress callback runs
            armedInCallback = fault::isArmed();
            innerCaught = !fault::callGuarded(writeNull, nullptr);
        }
        armedAfter = fault::isArmed();
        writeNull(nullptr);  // still caught by the outer guard
    };
    EXPECT_FALSE(fault::callGuarded(outer));
    EXPECT_TRUE(innerCaught);
    EXPECT_FALSE(armedInCallback);
    EXPECT_TRUE(armedAfter);
    EXPECT_FALSE(fault::isArmed());
}

TEST(FaultGuard, OtherThreadsHaveTheirOwnGuard)
{
    bool caught = false;
    std::thread worker([&caught] { caught = !fault::callGuarded(writeNull, nullptr); });
    worker.join();
    EXPECT_TRUE(caught);
}

TEST(FaultGuardDeathTest, AFaultWhileNotArmedStillEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            (void)fault::callGuarded(writeNull, nullptr);  // installs the handlers
            writeNull(nullptr);
        },
        "");
}

void exitFromHandler(int) { _exit(42); }

TEST(FaultGuardDeathTest, AFaultWhileNotArmedGoesToThePreviousHandler)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::signal(SIGFPE, exitFromHandler);
            int result = 0;
            if (fault::callGuarded(divideByZero, &result))
                _exit(1);
            {
                const fault::Disarmed disarmed;
                divideByZero(&result);
            }
            _exit(2);
        },
        testing::ExitedWithCode(42), "");
}

}  // namespace
