// The linear curve against hand-computed values: before, between and after
// the knots, knots at one time, out-of-order insertion and uniform times.
#include "Engine/Core/Common/GeCurve.h"

#include <gtest/gtest.h>

TEST(GeCurve, SamplesLinearlyAndHoldsTheEndValues)
{
    idCurve<float> curve;
    EXPECT_EQ(0.0f, curve.GetCurrentValue(1.0f));
    EXPECT_TRUE(curve.IsDone(0.0f));

    curve.AddValue(2.0f, 10.0f);
    curve.AddValue(4.0f, 30.0f);
    curve.AddValue(1.0f, 0.0f); // inserted before the others
    ASSERT_EQ(3u, curve.GetNumValues());
    EXPECT_EQ(1.0f, curve.GetTime(0));

    struct Case {
        float time, value;
    };
    const Case cases[] = {{-5.0f, 0.0f}, {1.0f, 0.0f},  {1.5f, 5.0f},   {2.0f, 10.0f},
                          {3.0f, 20.0f}, {4.0f, 30.0f}, {100.0f, 30.0f}};
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(c.value, curve.GetCurrentValue(c.time)) << "at " << c.time;
    EXPECT_FALSE(curve.IsDone(3.99f));
    EXPECT_TRUE(curve.IsDone(4.0f));
}

TEST(GeCurve, TheLaterOfTwoKnotsAtOneTimeWins)
{
    idCurve<float> curve;
    curve.AddValue(0.0f, 1.0f);
    curve.AddValue(1.0f, 2.0f);
    curve.AddValue(1.0f, 7.0f);
    curve.AddValue(2.0f, 9.0f);
    EXPECT_FLOAT_EQ(7.0f, curve.GetCurrentValue(1.0f));
    EXPECT_FLOAT_EQ(8.0f, curve.GetCurrentValue(1.5f));
    EXPECT_FLOAT_EQ(1.5f, curve.GetCurrentValue(0.5f));
}

TEST(GeCurve, UniformTimesSpreadTheKnotsAndColoursInterpolatePerChannel)
{
    idCurve<Vec4> curve;
    curve.AddValue(0.0f, Vec4{0.0f, 1.0f, 0.0f, 1.0f});
    curve.AddValue(1.0f, Vec4{1.0f, 0.0f, 0.5f, 0.0f});
    curve.SetUniformTimes(4.0f);
    EXPECT_EQ(0.0f, curve.GetTime(0));
    EXPECT_EQ(4.0f, curve.GetTime(1));
    const Vec4 quarter = curve.GetCurrentValue(1.0f);
    EXPECT_FLOAT_EQ(0.25f, quarter.x);
    EXPECT_FLOAT_EQ(0.75f, quarter.y);
    EXPECT_FLOAT_EQ(0.125f, quarter.z);
    EXPECT_FLOAT_EQ(0.75f, quarter.w);

    idCurve<Vec3> three;
    for (int i = 0; i < 3; ++i)
        three.AddValue(float(i), Vec3{float(i), 0.0f, 0.0f});
    three.SetUniformTimes(10.0f);
    EXPECT_EQ(5.0f, three.GetTime(1));
    EXPECT_EQ(10.0f, three.GetTime(2));
}

TEST(GeCurve, ClearForgetsEveryKnot)
{
    idCurve_PolyLine<Vec3> curve;
    curve.AddValue(0.0f, Vec3{0, 0, 0});
    curve.AddValue(0.1f, Vec3{1, 2, 3});
    EXPECT_FLOAT_EQ(curve.GetCurrentValue(0.05f).y, 1.0f);
    curve.Clear();
    EXPECT_EQ(curve.GetNumValues(), 0u);
    EXPECT_EQ(curve.GetCurrentValue(0.05f).y, 0.0f);
    curve.AddValue(1.0f, Vec3{4, 0, 0});
    EXPECT_EQ(curve.GetCurrentValue(0.0f).x, 4.0f);
}
