// The curve-way reader: each curve type with its knots spread over the
// duration, and the refused elements, which leave the record empty.
#include "Source/GameClasses/QmCurveWay.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>

namespace {

bool Read(QmCurveWay& record, const std::string& text)
{
    TiXmlDocument document;
    document.Parse(text.c_str());
    return LoadCurveWay(record, document.RootElement());
}

const char* kPoints = "<point pos=\"0 0 0\"/><point pos=\"10 0 0\"/><point pos=\"10 0 10\"/>";

} // namespace

TEST(QmCurveWay, EachTypeMakesItsCurveWithKnotsSpreadOverTheTime)
{
    const struct {
        const char* type;
        int32_t kind;
        Vec3 middle; // the value at time 5, the middle knot's time
    } cases[] = {
        {"polyline", QM_CURVE_POLYLINE, {10, 0, 0}},
        {"catmullrom", QM_CURVE_CATMULLROM, {10, 0, 0}},
        {"bezier", QM_CURVE_BEZIER, {7.5f, 0, 2.5f}}, // 0.25 a + 0.5 b + 0.25 c
    };
    for (const auto& c : cases) {
        QmCurveWay record;
        ASSERT_TRUE(Read(record, std::string("<curve_way type=\"") + c.type + "\" name=\"bird\" time=\"10\">" +
                                     kPoints + "<other pos=\"9 9 9\"/></curve_way>"))
            << c.type;
        EXPECT_EQ(c.kind, record.kind) << c.type;
        EXPECT_STREQ("bird", record.name);
        EXPECT_FLOAT_EQ(10.0f, record.duration);
        ASSERT_NE(nullptr, record.curve);
        ASSERT_EQ(3u, record.curve->GetNumValues()) << c.type;
        EXPECT_EQ(0.0f, record.curve->GetTime(0));
        EXPECT_EQ(5.0f, record.curve->GetTime(1));
        EXPECT_EQ(10.0f, record.curve->GetTime(2));
        const Vec3 middle = record.curve->GetValue(5.0f);
        EXPECT_FLOAT_EQ(c.middle.x, middle.x) << c.type;
        EXPECT_FLOAT_EQ(c.middle.z, middle.z) << c.type;
    }
    auto* catmull = new idCurve_CatmullRom<Vec3>();
    EXPECT_EQ(CURVE_BOUNDARY_FREE, catmull->GetBoundaryType());
    delete catmull;

    // One point sits at time 0; an unreadable time counts as 0.
    QmCurveWay single;
    ASSERT_TRUE(
        Read(single, "<curve_way type=\"catmullrom\" name=\"s\" time=\"4\"><point pos=\"1 2 3\"/></curve_way>"));
    EXPECT_EQ(0.0f, single.curve->GetTime(0));
    EXPECT_FLOAT_EQ(2.0f, single.curve->GetValue(2.0f).y);
    QmCurveWay noTime;
    ASSERT_TRUE(
        Read(noTime, std::string("<curve_way type=\"polyline\" name=\"n\" time=\"soon\">") + kPoints + "</curve_way>"));
    EXPECT_EQ(0.0f, noTime.duration);
    EXPECT_EQ(0.0f, noTime.curve->GetTime(2));
}

TEST(QmCurveWay, RefusedElementsLeaveAnEmptyRecord)
{
    const std::string points = kPoints;
    const char* refused[] = {
        "<curve_way name=\"a\" time=\"1\">",                  // no type (reported, then refused)
        "<curve_way type=\"spline\" name=\"a\" time=\"1\">",  // unknown type
        "<curve_way type=\"Bezier\" name=\"a\" time=\"1\">",  // types are matched exactly
        "<curve_way type=\"polyline\" time=\"1\">",           // no name
        "<curve_way type=\"polyline\" name=\"\" time=\"1\">", // empty name
        "<curve_way type=\"polyline\" name=\"a\">",           // no time
        "<curve_way type=\"polyline\" name=\"abcdefghijklmnopqrstuvwxyz012345\" time=\"1\">", // 32 characters
    };
    for (const char* open : refused) {
        QmCurveWay record;
        // A record that held a curve gives it up first.
        ASSERT_TRUE(Read(record, "<curve_way type=\"bezier\" name=\"old\" time=\"3\">" + points + "</curve_way>"));
        EXPECT_FALSE(Read(record, open + points + "</curve_way>")) << open;
        EXPECT_EQ(QM_CURVE_NONE, record.kind) << open;
        EXPECT_EQ(nullptr, record.curve) << open;
        EXPECT_STREQ("", record.name) << open;
    }
    QmCurveWay longest;
    EXPECT_TRUE(Read(longest, "<curve_way type=\"polyline\" name=\"abcdefghijklmnopqrstuvwxyz01234\" time=\"1\"/>"));
    EXPECT_EQ(31u, std::string(longest.name).size());
    EXPECT_EQ(0u, longest.curve->GetNumValues());
}
