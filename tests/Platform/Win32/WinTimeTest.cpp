#include "Platform/Win32/WinTime.h"

#include <gtest/gtest.h>

namespace {

TEST(WinTime, SleepWaitsAtLeastTheGivenTimeOnTheTickClock)
{
    DWORD start = GetTickCount();
    Sleep(20);
    DWORD elapsed = GetTickCount() - start; // unsigned: right across the wrap too
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 2000u);
    Sleep(0);
}

} // namespace
