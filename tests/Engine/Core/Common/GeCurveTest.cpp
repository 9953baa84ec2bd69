// The curve family against hand-computed tables (polyline, Catmull-Rom and
// Bezier values and derivatives worked out on paper from the knots) and the
// cached time search against a plain model, the first knot not before the
// time, under rising, falling and scattered query times.
#include "Engine/Core/Common/GeCurve.h"
#include "Engine/Core/Common/GeRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

void ExpectVec(const Vec2& expected, const Vec2& actual, const char* what, float at)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-5f) << what << " at " << at;
    EXPECT_NEAR(expected.y, actual.y, 1e-5f) << what << " at " << at;
}

void ExpectVec(const Vec3& expected, const Vec3& actual, const char* what, float at)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-5f) << what << " at " << at;
    EXPECT_NEAR(expected.y, actual.y, 1e-5f) << what << " at " << at;
    EXPECT_NEAR(expected.z, actual.z, 1e-5f) << what << " at " << at;
}

template <typename Curve, typename T>
void AddKnots(Curve& curve, const std::vector<float>& times, const std::vector<T>& values)
{
    for (size_t k = 0; k < times.size(); ++k)
        curve.AddKnot(times[k], values[k]);
}

} // namespace

TEST(GeCurve, TimeSearchFindsTheFirstKnotNotBeforeTheTimeAndKeepsItsCache)
{
    idCurve<Vec3> curve;
    AddKnots(curve, {0.0f, 1.0f, 2.0f}, std::vector<Vec3>(3, Vec3{0, 0, 0}));

    // Fresh searches: the binary search alone.
    const struct {
        float time;
        int32_t index;
        int32_t cacheAfter;
    } fresh[] = {{1.5f, 2, 2}, {-1.0f, 0, 0}, {3.0f, 3, 3}, {0.5f, 1, 1}, {1.0f, 1, -1}, {2.0f, 2, -1}};
    for (const auto& c : fresh) {
        curve.cachedIndex = -1;
        EXPECT_EQ(c.index, curve.FindIndex(c.time)) << c.time;
        EXPECT_EQ(c.cacheAfter, curve.cachedIndex) << c.time << ": a knot hit leaves the cache alone";
    }

    // Under rising times the cache answers or moves on by one.
    curve.cachedIndex = -1;
    const struct {
        float time;
        int32_t index;
        int32_t cacheAfter;
    } rising[] = {{0.5f, 1, 1},
                  {0.7f, 1, 1},
                  {1.5f, 2, 2},
                  {2.0f, 2, 2},
                  {2.5f, 3, 3},
                  {9.0f, 3, 3},
                  // falling back: a fresh binary search, whose result becomes the cache
                  {0.2f, 1, 1},
                  {-4.0f, 0, 0},
                  {-5.0f, 0, 0},
                  {0.0f, 0, 0}};
    for (const auto& c : rising) {
        EXPECT_EQ(c.index, curve.FindIndex(c.time)) << c.time;
        EXPECT_EQ(c.cacheAfter, curve.cachedIndex) << c.time;
    }

    idCurve<Vec3> empty;
    EXPECT_EQ(0, empty.FindIndex(1.0f));
}

TEST(GeCurve, TimeSearchAgreesWithAPlainModelOverRisingFallingAndScatteredTimes)
{
    GeSrand(38);
    for (int round = 0; round < 20; ++round) {
        idCurve_PolyLine<Vec2> curve;
        std::vector<float> times;
        const int count = 1 + RandomInt(39); // RandomInt(n) is 0..n
        float t = float(RandomInt(10)) - 5.0f;
        for (int k = 0; k < count; ++k) {
            times.push_back(t);
            t += 0.25f * float(1 + RandomInt(7));
        }
        // Inserted in scattered order: the knots still come out sorted.
        std::vector<int> order(static_cast<size_t>(count));
        for (int k = 0; k < count; ++k)
            order[size_t(k)] = k;
        for (int k = count - 1; k > 0; --k)
            std::swap(order[size_t(k)], order[size_t(RandomInt(uint32_t(k)))]);
        for (int k : order)
            curve.AddKnot(times[size_t(k)], Vec2{float(k), 0.0f});
        for (int k = 0; k < count; ++k) {
            ASSERT_EQ(times[size_t(k)], curve.GetTime(uint32_t(k)));
            ASSERT_EQ(float(k), curve.GetKnotValue(uint32_t(k)).x);
        }

        std::vector<float> queries;
        for (float q = times.front() - 1.0f; q <= times.back() + 1.0f; q += 0.125f)
            queries.push_back(q);
        std::vector<float> falling(queries.rbegin(), queries.rend());
        std::vector<float> scattered;
        for (int k = 0; k < 200; ++k)
            scattered.push_back(queries[size_t(RandomInt(uint32_t(queries.size() - 1)))]);
        for (const auto* list : {&queries, &falling, &scattered}) {
            for (float q : *list) {
                const auto model = std::lower_bound(times.begin(), times.end(), q) - times.begin();
                ASSERT_EQ(int32_t(model), curve.FindIndex(q)) << "round " << round << " at " << q;
            }
        }
    }
}

TEST(GeCurve, TheBaseStepsToTheNextKnotAndKnotEditsMarkTheCurveChanged)
{
    idCurve<Vec2> curve;
    EXPECT_TRUE(curve.IsDone(0.0f));
    ExpectVec(Vec2{0, 0}, curve.GetValue(1.0f), "empty", 1.0f);
    AddKnots(curve, {0.0f, 1.0f, 2.0f}, std::vector<Vec2>{{1, 1}, {2, 2}, {3, 3}});
    EXPECT_EQ(1, curve.changed);
    const struct {
        float time;
        Vec2 value;
    } cases[] = {{-1.0f, {1, 1}}, {0.0f, {1, 1}}, {0.5f, {2, 2}}, {1.0f, {2, 2}}, {1.01f, {3, 3}}, {7.0f, {3, 3}}};
    for (const auto& c : cases) {
        ExpectVec(c.value, curve.GetValue(c.time), "step value", c.time);
        ExpectVec(Vec2{0, 0}, curve.GetFirstDerivative(c.time), "first derivative", c.time);
        ExpectVec(Vec2{0, 0}, curve.GetSecondDerivative(c.time), "second derivative", c.time);
    }
    EXPECT_FALSE(curve.IsDone(1.99f));
    EXPECT_TRUE(curve.IsDone(2.0f));

    curve.changed = 0;
    curve.RemoveKnot(3);
    curve.RemoveKnot(-1);
    EXPECT_EQ(3u, curve.GetNumValues());
    EXPECT_EQ(1, curve.changed);
    curve.RemoveKnot(1);
    ASSERT_EQ(2u, curve.GetNumValues());
    EXPECT_EQ(2.0f, curve.GetTime(1));
    curve.Clear();
    EXPECT_EQ(0u, curve.GetNumValues());
    EXPECT_EQ(-1, curve.cachedIndex);
}

TEST(GeCurve, PolylineValuesAndDerivativesBeforeBetweenAndAfterItsKnots)
{
    idCurve_PolyLine<Vec3> curve;
    AddKnots(curve, {0.0f, 1.0f, 3.0f}, std::vector<Vec3>{{0, 0, 0}, {2, 4, 0}, {4, 0, 2}});
    const struct {
        float time;
        Vec3 value, first;
    } cases[] = {
        {-1.0f, {0, 0, 0}, {1, 2, 0}}, // the slope to knot 1 from the time itself
        {0.0f, {0, 0, 0}, {2, 4, 0}},  {0.5f, {1, 2, 0}, {2, 4, 0}},  {1.0f, {2, 4, 0}, {2, 4, 0}},
        {2.0f, {3, 2, 1}, {1, -2, 1}}, {3.0f, {4, 0, 2}, {1, -2, 1}}, {5.0f, {4, 0, 2}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        curve.cachedIndex = -1;
        ExpectVec(c.value, curve.GetValue(c.time), "value", c.time);
        ExpectVec(c.first, curve.GetFirstDerivative(c.time), "first derivative", c.time);
        ExpectVec(Vec3{0, 0, 0}, curve.GetSecondDerivative(c.time), "second derivative", c.time);
    }
    curve.SetBoundaryType(CURVE_BOUNDARY_CLOSED);
    ExpectVec(Vec3{4, 0, 2}, curve.GetValue(9.0f), "closed polyline after its end", 9.0f);
    EXPECT_FALSE(curve.IsDone(9.0f));

    // Two knots at one time: the search meets the later-inserted one first,
    // and the zero-length segment gives its knot's value with no slope.
    idCurve_PolyLine<Vec3> step;
    AddKnots(step, {0.0f, 1.0f, 1.0f, 2.0f}, std::vector<Vec3>{{0, 0, 0}, {1, 1, 1}, {5, 5, 5}, {3, 3, 3}});
    ASSERT_EQ(4u, step.GetNumValues());
    EXPECT_EQ(5.0f, step.GetKnotValue(1).x);
    step.cachedIndex = -1;
    ExpectVec(Vec3{1, 1, 1}, step.GetValue(1.0f), "shared time", 1.0f);
    ExpectVec(Vec3{0, 0, 0}, step.GetFirstDerivative(1.0f), "shared time slope", 1.0f);
    ExpectVec(Vec3{2, 2, 2}, step.GetValue(1.5f), "after the shared time", 1.5f);

    idCurve_PolyLine<Vec3> single;
    single.AddKnot(4.0f, Vec3{7, 8, 9});
    ExpectVec(Vec3{7, 8, 9}, single.GetValue(0.0f), "one knot", 0.0f);
    ExpectVec(Vec3{0, 0, 0}, single.GetFirstDerivative(0.0f), "one knot slope", 0.0f);
}

TEST(GeCurve, CatmullRomWeightsAndDerivativesForFreeClampedAndClosedCurves)
{
    // Knots 0..3 at times 0..3; the table's values come from the weights
    // worked out by hand at s = 0, 0.5 and 1.
    const std::vector<float> times = {0.0f, 1.0f, 2.0f, 3.0f};
    const std::vector<Vec2> values = {{0, 0}, {1, 2}, {3, 1}, {4, 4}};
    idCurve_CatmullRom<Vec2> curve;
    AddKnots(curve, times, values);
    const struct {
        int32_t boundary;
        float time;
        Vec2 value, first, second;
    } cases[] = {
        {CURVE_BOUNDARY_FREE, 1.5f, {2.0f, 1.4375f}, {2.25f, -1.875f}, {0.0f, 0.5f}},
        {CURVE_BOUNDARY_FREE, 1.0f, {1, 2}, {1.5f, 0.5f}, {2.0f, -6.0f}},                 // s = 1 of segment 1
        {CURVE_BOUNDARY_FREE, 0.5f, {0.4375f, 1.1875f}, {0.875f, 2.375f}, {0.5f, -1.5f}}, // V(-1) = (-1, -2)
        {CURVE_BOUNDARY_FREE, 4.0f, {5, 7}, {1, 3}, {0, 0}},                              // V(4) = (5, 7)
        {CURVE_BOUNDARY_FREE, -1.0f, {-1, -2}, {1, 2}, {0, 0}},
        {CURVE_BOUNDARY_CLAMPED, -5.0f, {0, 0}, {1, 2}, {0, 0}},
        {CURVE_BOUNDARY_CLAMPED, 10.0f, {4, 4}, {1, 3}, {1, -4}},
        {CURVE_BOUNDARY_CLOSED, 3.5f, {2.0f, 2.0625f}, {-5.25f, -5.625f}, {0.0f, -0.5f}}, // V(4) = V(0), V(5) = V(1)
    };
    for (const auto& c : cases) {
        curve.SetBoundaryType(c.boundary);
        curve.SetCloseTime(1.0f);
        ExpectVec(c.value, curve.GetValue(c.time), "value", c.time);
        ExpectVec(c.first, curve.GetFirstDerivative(c.time), "first derivative", c.time);
        ExpectVec(c.second, curve.GetSecondDerivative(c.time), "second derivative", c.time);
    }

    curve.SetBoundaryType(CURVE_BOUNDARY_FREE);
    EXPECT_FALSE(curve.IsDone(2.9f));
    EXPECT_TRUE(curve.IsDone(3.0f));
    EXPECT_EQ(0.0f, curve.GetCloseTime());
    curve.SetBoundaryType(CURVE_BOUNDARY_CLOSED);
    EXPECT_FALSE(curve.IsDone(1000.0f));
    EXPECT_EQ(1.0f, curve.GetCloseTime());
    EXPECT_EQ(CURVE_BOUNDARY_CLOSED, curve.GetBoundaryType());

    // The index extension of a closed curve that does not start at 0.
    idCurve_CatmullRom<Vec3> ring;
    AddKnots(ring, {1.0f, 2.0f, 3.0f, 4.0f}, std::vector<Vec3>{{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}});
    ring.SetBoundaryType(CURVE_BOUNDARY_CLOSED);
    ring.SetCloseTime(0.5f);
    EXPECT_FLOAT_EQ(-0.5f, ring.TimeForIndex(-1)); // -closeTime
    EXPECT_FLOAT_EQ(5.5f, ring.TimeForIndex(4));   // last + closeTime + first
    EXPECT_FLOAT_EQ(-1.5f, ring.TimeForIndex(-2)); // times[2] - (4 + 0.5)
    EXPECT_FLOAT_EQ(10.0f, ring.TimeForIndex(8));  // times[0] + 2 x 4.5
    EXPECT_EQ(4.0f, ring.ValueForIndex(-1).x);
    EXPECT_EQ(1.0f, ring.ValueForIndex(4).x);
    EXPECT_EQ(2.0f, ring.ValueForIndex(-7).x);

    idCurve_CatmullRom<Vec3> single;
    single.AddKnot(2.0f, Vec3{1, 2, 3});
    ExpectVec(Vec3{1, 2, 3}, single.GetValue(-3.0f), "one knot", -3.0f);
    ExpectVec(Vec3{0, 0, 0}, single.GetFirstDerivative(2.0f), "one knot slope", 2.0f);
}

TEST(GeCurve, BezierOfThreeAndFourKnotsWithBothDerivatives)
{
    idCurve_Bezier<Vec2> quadratic;
    AddKnots(quadratic, {0.0f, 1.0f, 2.0f}, std::vector<Vec2>{{0, 0}, {2, 4}, {4, 0}});
    ExpectVec(Vec2{2, 2}, quadratic.GetValue(1.0f), "quadratic value", 1.0f);
    ExpectVec(Vec2{2, 0}, quadratic.GetFirstDerivative(1.0f), "quadratic slope", 1.0f);
    ExpectVec(Vec2{0, -4}, quadratic.GetSecondDerivative(1.0f), "quadratic bend", 1.0f);
    ExpectVec(Vec2{0, 0}, quadratic.GetValue(0.0f), "quadratic start", 0.0f);
    ExpectVec(Vec2{2, 4}, quadratic.GetFirstDerivative(0.0f), "quadratic start slope", 0.0f);

    idCurve_Bezier<Vec3> cubic;
    AddKnots(cubic, {0.0f, 1.0f, 2.0f, 3.0f}, std::vector<Vec3>{{0, 0, 0}, {1, 3, 0}, {2, 3, 0}, {3, 0, 0}});
    const struct {
        float time;
        Vec3 value, first, second;
    } cases[] = {
        {0.0f, {0, 0, 0}, {1, 3, 0}, {0, -2, 0}},
        {1.5f, {1.5f, 2.25f, 0}, {1, 0, 0}, {0, -2, 0}},
        {3.0f, {3, 0, 0}, {1, -3, 0}, {0, -2, 0}},
        {4.5f, {4.5f, -6.75f, 0}, {1, -6, 0}, {0, -2, 0}}, // s = 1.5, not clamped
    };
    for (const auto& c : cases) {
        ExpectVec(c.value, cubic.GetValue(c.time), "cubic value", c.time);
        ExpectVec(c.first, cubic.GetFirstDerivative(c.time), "cubic slope", c.time);
        ExpectVec(c.second, cubic.GetSecondDerivative(c.time), "cubic bend", c.time);
    }
    EXPECT_TRUE(cubic.IsDone(3.0f));
    EXPECT_FALSE(cubic.IsDone(2.9f));
}

TEST(GeCurve, DegenerateBeziersGiveTheirFirstValueAndLongOnesWeighOne)
{
    idCurve_Bezier<Vec3> flat;
    flat.AddKnot(2.0f, Vec3{1, 2, 3});
    ExpectVec(Vec3{1, 2, 3}, flat.GetValue(-8.0f), "one knot", -8.0f);
    flat.AddKnot(2.0f, Vec3{4, 5, 6});
    const Vec3 first = flat.GetKnotValue(0);
    ExpectVec(first, flat.GetValue(2.0f), "equal end times", 2.0f);
    ExpectVec(Vec3{0, 0, 0}, flat.GetFirstDerivative(2.0f), "equal end times slope", 2.0f);

    // More knots than the stack buffer holds: the weights still sum to one.
    idCurve_Bezier<Vec3> longCurve;
    for (int k = 0; k < 64; ++k)
        longCurve.AddKnot(float(k), Vec3{1, 1, 1});
    for (float t : {0.0f, 10.0f, 31.5f, 63.0f}) {
        EXPECT_NEAR(1.0f, longCurve.GetValue(t).x, 1e-4f) << t;
        EXPECT_NEAR(0.0f, longCurve.GetFirstDerivative(t).y, 1e-3f) << t;
    }
}

TEST(GeCurve, UniformTimesSpreadTheKnotsAndASingleKnotSitsAtZero)
{
    idCurve<Vec3> three;
    for (int i = 0; i < 3; ++i)
        three.AddKnot(float(i) * 7.0f, Vec3{float(i), 0.0f, 0.0f});
    three.changed = 0;
    three.SetUniformTimes(10.0f);
    EXPECT_EQ(0.0f, three.GetTime(0));
    EXPECT_EQ(5.0f, three.GetTime(1));
    EXPECT_EQ(10.0f, three.GetTime(2));
    EXPECT_EQ(1, three.changed);

    idCurve<Vec3> one;
    one.AddKnot(3.0f, Vec3{1, 1, 1});
    one.SetUniformTimes(10.0f);
    EXPECT_EQ(0.0f, one.GetTime(0));
}

TEST(GeCurve, ColourPolylineHoldsTheLaterValueWhenBothKnotsShareATime)
{
    // The screen fader's use: two colour knots whose times may both be 0.
    idCurve_PolyLine<Vec4> fade;
    fade.AddKnot(0.0f, Vec4{0, 0, 0, 0});
    fade.AddKnot(1.0f, Vec4{1, 1, 1, 1});
    EXPECT_FLOAT_EQ(0.25f, fade.GetValue(0.25f).w);
    fade.SetUniformTimes(0.0f);
    EXPECT_FLOAT_EQ(1.0f, fade.GetValue(0.0f).x);
    EXPECT_TRUE(fade.IsDone(0.0f));
}
