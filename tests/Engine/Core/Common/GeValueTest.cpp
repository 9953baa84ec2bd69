#include "Engine/Core/Common/GeValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

CGeValue Scalar(uint32_t kind, uint64_t bits)
{
    CGeValue value;
    value.kind = kind;
    value.scalar.bits = bits;
    return value;
}

CGeValue Float(float f)
{
    CGeValue value;
    value.kind = GE_VALUE_FLOAT;
    value.scalar.f32 = f;
    return value;
}

CGeValue Double(double d)
{
    CGeValue value;
    value.kind = GE_VALUE_DOUBLE;
    value.scalar.f64 = d;
    return value;
}

std::u16string Text(const CGeValue& value)
{
    return value.ToWideString().c_str();
}

TEST(GeValue, ConstructionSetsTheStringKinds)
{
    CGeValue empty;
    EXPECT_EQ(empty.kind, 0u);
    EXPECT_TRUE(empty.str.IsEmpty());
    EXPECT_TRUE(empty.wstr.IsEmpty());

    CGeValue fromText("loc01");
    EXPECT_EQ(fromText.kind, (uint32_t)GE_VALUE_STRING);
    EXPECT_STREQ(fromText.CopyString().c_str(), "loc01");
    EXPECT_TRUE(fromText.wstr.IsEmpty());

    CGeValue fromString(CGeString("x"));
    EXPECT_EQ(fromString.kind, (uint32_t)GE_VALUE_STRING);

    CGeValue fromWide(CGeWString(u"\u0416"));
    EXPECT_EQ(fromWide.kind, (uint32_t)GE_VALUE_WSTRING);
    EXPECT_TRUE(fromWide.str.IsEmpty());

    CGeValue copy(fromText);
    EXPECT_TRUE(copy == fromText);
}

TEST(GeValue, TextFormsFollowTheKind)
{
    const struct {
        CGeValue value;
        const char16_t* text;
    } cases[] = {
        { Scalar(GE_VALUE_BOOL, 2), u"true" },
        { Scalar(GE_VALUE_BOOL, 0x100), u"false" },   // only the first byte counts
        { Scalar(GE_VALUE_INT16, 0xFFFF), u"-1" },
        { Scalar(GE_VALUE_UINT16, 0xFFFF), u"65535" },
        { Scalar(GE_VALUE_INT32, 0xFFFFFFFE), u"-2" },
        { Scalar(GE_VALUE_UINT32, 0xFFFFFFFE), u"4294967294" },
        { Scalar(GE_VALUE_INT8, 0x80), u"-128" },
        { Scalar(GE_VALUE_UINT8, 0x80), u"128" },
        { Float(1.5f), u"1.5000" },
        { Float(-0.25f), u"-0.2500" },
        { Double(2.0), u"2.00000000" },
        { CGeValue("\xC0\xE1"), u"\u0410\u0431" },
        { CGeValue(CGeWString(u"wide")), u"wide" },
        { CGeValue(), u"" },
        { Scalar(GE_VALUE_REFERENCE, 0), u"" },
        { Scalar(99, 0), u"" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(c.value), c.text) << "kind " << c.value.kind;

    // The result is a copy: a later call leaves it alone.
    CGeWString first = Scalar(GE_VALUE_INT32, 1).ToWideString();
    Scalar(GE_VALUE_INT32, 2).ToWideString();
    EXPECT_EQ(std::u16string(first.c_str()), u"1");
}

TEST(GeValue, AssignCopiesOnlyTheSourceKindsPayload)
{
    CGeValue target = Scalar(GE_VALUE_INT32, 0x4D4D);
    target.str = "kept";
    target.Assign(CGeValue());
    EXPECT_EQ(target.kind, (uint32_t)GE_VALUE_INT32);
    EXPECT_EQ(target.scalar.i32, 0x4D4D);
    target.Assign(Scalar(42, 1));
    EXPECT_EQ(target.kind, (uint32_t)GE_VALUE_INT32);

    target.Assign(Scalar(GE_VALUE_UINT8, 0xFFFFFF05));
    EXPECT_EQ(target.kind, (uint32_t)GE_VALUE_UINT8);
    EXPECT_EQ(target.scalar.bits, 0x4D05u);   // one byte written over the old value
    EXPECT_STREQ(target.str.c_str(), "kept");

    target.Assign(CGeValue(CGeWString(u"w")));
    EXPECT_EQ(target.kind, (uint32_t)GE_VALUE_WSTRING);
    EXPECT_STREQ(target.str.c_str(), "kept");
    EXPECT_EQ(std::u16string(target.wstr.c_str()), u"w");

    target.Assign(CGeValue("s"));
    EXPECT_EQ(target.kind, (uint32_t)GE_VALUE_STRING);
    EXPECT_STREQ(target.str.c_str(), "s");

    target.Assign(Double(0.5));
    EXPECT_EQ(target.scalar.f64, 0.5);
}

TEST(GeValue, EqualityComparesTheKindsPayload)
{
    EXPECT_TRUE(Scalar(GE_VALUE_BOOL, 0x101) == Scalar(GE_VALUE_BOOL, 0x201));
    EXPECT_FALSE(Scalar(GE_VALUE_INT16, 1) == Scalar(GE_VALUE_INT32, 1));
    EXPECT_FALSE(Scalar(GE_VALUE_UINT16, 0x10001) == Scalar(GE_VALUE_UINT16, 0x10002));
    EXPECT_TRUE(Scalar(GE_VALUE_UINT32, 0x100000005) == Scalar(GE_VALUE_UINT32, 0x200000005));
    EXPECT_TRUE(Float(0.0f) == Float(-0.0f));
    EXPECT_FALSE(Float(NAN) == Float(NAN));
    EXPECT_FALSE(Double(NAN) == Double(NAN));
    EXPECT_TRUE(Double(1.25) == Double(1.25));
    EXPECT_TRUE(CGeValue("a") == CGeValue("a"));
    EXPECT_FALSE(CGeValue("a") == CGeValue("b"));
    EXPECT_TRUE(CGeValue(CGeWString(u"a")) == CGeValue(CGeWString(u"a")));
    EXPECT_TRUE(Scalar(12, 1) == Scalar(12, 2));
    EXPECT_TRUE(CGeValue() == CGeValue());
}

TEST(GeValue, FromBindingReadsTheVariableByKind)
{
    uint8_t flag = 1;
    int16_t small = -3;
    uint32_t big = 4000000000u;
    float speed = 0.75f;
    double precise = 1.0 / 3.0;
    CGeString name("hero");
    CGeWString title(u"\u0416");
    CGeValue inner = Scalar(GE_VALUE_UINT16, 9);

    EXPECT_EQ(Text(CGeValue::FromBinding({ &flag, GE_VALUE_BOOL })), u"true");
    EXPECT_EQ(Text(CGeValue::FromBinding({ &small, GE_VALUE_INT16 })), u"-3");
    EXPECT_EQ(Text(CGeValue::FromBinding({ &big, GE_VALUE_UINT32 })), u"4000000000");
    EXPECT_EQ(Text(CGeValue::FromBinding({ &speed, GE_VALUE_FLOAT })), u"0.7500");
    EXPECT_EQ(Text(CGeValue::FromBinding({ &precise, GE_VALUE_DOUBLE })), u"0.33333333");
    EXPECT_EQ(Text(CGeValue::FromBinding({ &name, GE_VALUE_STRING })), u"hero");
    EXPECT_EQ(Text(CGeValue::FromBinding({ &title, GE_VALUE_WSTRING })), u"\u0416");

    CGeValue viaReference = CGeValue::FromBinding({ &inner, GE_VALUE_REFERENCE });
    EXPECT_EQ(viaReference.kind, (uint32_t)GE_VALUE_UINT16);
    EXPECT_EQ(Text(viaReference), u"9");

    CGeValue unknown = CGeValue::FromBinding({ &big, 13 });
    EXPECT_EQ(unknown.kind, 0u);
    EXPECT_EQ(CGeValue::FromBinding({ nullptr, GE_VALUE_INT32 }).kind, 0u);
}

} // namespace
