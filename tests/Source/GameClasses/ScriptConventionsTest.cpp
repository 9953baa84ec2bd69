#include "tests/Source/GameClasses/ScriptTestFixture.h"

#include <cfloat>
#include <cmath>
#include <limits>

class QmScriptConventions : public ScriptTest {};

TEST_F(QmScriptConventions, ConversionsSaturateInsteadOfOverflowing)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct IntCase {
        double value;
        int32_t expected;
    };
    const IntCase ints[] = {
        {2.9, 2}, {-2.9, -2}, {0.0, 0}, {-0.5, 0}, {2147483647.9, INT32_MAX}, {2147483648.0, INT32_MAX},
        {-2147483648.9, INT32_MIN}, {1e12, INT32_MAX}, {-1e12, INT32_MIN}, {inf, INT32_MAX}, {-inf, INT32_MIN},
        {nan, 0},
    };
    for (const IntCase& c : ints)
        EXPECT_EQ(c.expected, ScriptTruncateToInt(c.value)) << c.value;

    EXPECT_EQ(FLT_MAX, ScriptNarrowToFloat(1e300));
    EXPECT_EQ(-FLT_MAX, ScriptNarrowToFloat(-1e300));
    EXPECT_EQ(FLT_MAX, ScriptNarrowToFloat(inf));
    EXPECT_EQ(0.1f, ScriptNarrowToFloat(0.1));
    EXPECT_TRUE(std::isnan(ScriptNarrowToFloat(nan)));
}

TEST_F(QmScriptConventions, ScriptFunctionsCheckTheirArgumentsTheSharedWay)
{
    const char* holding[] = {
        // A number is accepted as text, a numeric string as a number.
        "ProbeText(5) == '5'", "ProbeText(0.5) == '0.5'", "ProbeText('') == ''", "ProbeInt('7') == 7",
        "ProbeInt(' 12 ') == 12",
        "ProbeText(nil) == 'refused'", "ProbeText({}) == 'refused'", "ProbeInt('abc') == 'refused'",
        "ProbeInt('5x') == 'refused'", "ProbeInt(true) == 'refused'",
        // Booleans must be booleans; a flag is any value, 0 included.
        "ProbeBool(true) == true", "ProbeBool(false) == false", "ProbeBool(1) == 'refused'",
        "ProbeBool(nil) == 'refused'", "ProbeBool('true') == 'refused'",
        "ProbeFlag(0) == true", "ProbeFlag(nil) == false", "ProbeFlag(false) == false", "ProbeFlag('') == true",
        // Integers truncate toward zero and saturate.
        "ProbeInt(2.9) == 2", "ProbeInt(-2.9) == -2", "ProbeInt('0x10') == 16", "ProbeInt(1e12) == 2147483647",
        "ProbeInt(-1e12) == -2147483648", "ProbeInt(0/0) == 0", "ProbeInt(1/0) == 2147483647",
        "ProbeFloat(0.1) == 0.10000000149011612", "ProbeFloat(1e300) == 3.4028234663852886e38",
        // Counts: exact, with an optional trailing argument, and the defaults on refusal.
        "ProbeInt() == 'refused'", "ProbeInt(1, 2) == 'refused'", "ProbePosition('a', 1) == 2",
        "ProbePosition('a', '1', 2) == 3", "select('#', ProbePosition()) == 3",
        "select('#', ProbePosition('a')) == 3", "select('#', ProbePosition('a', 1, 2, 3)) == 3",
        "select(3, ProbePosition('a', 1, 2, 3)) == 0", "select(2, ProbePosition({}, 1)) == 0",
        // A wrong call never raises: the script goes on.
        "pcall(ProbeInt, {}) == true",
    };
    for (const char* expression : holding) {
        EXPECT_TRUE(Holds(expression)) << expression;
        ExpectStackBalanced();
    }

    // Arguments are read from the coroutine's own stack.
    Run("co = coroutine.create(function(a, b) r = ProbeInt(a) s = ProbeText(b) end) coroutine.resume(co, 2.9, 3)");
    EXPECT_TRUE(Holds("r == 2 and s == '3'"));

    // A C++ exception is logged and stops at the script function.
    Run("n = select('#', ProbeThrow(1, 2)) after = true");
    EXPECT_TRUE(Holds("n == 0 and after == true"));
    EXPECT_STREQ("Lua script function: probe failure\n", GeLogLastMessage().c_str());

    Run("ProbeLookup('nobody')");
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_STREQ("Lua_ProbeLookup: Entity 'nobody' not found in location!\n", GeLogLastMessage().c_str());
}
