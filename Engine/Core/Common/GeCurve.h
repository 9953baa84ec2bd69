// A curve of knots (time, value) sampled by linear interpolation, after the
// curve template of id Software's engines.
//
// Knots are kept in time order. Before the first knot the curve holds the
// first value, from the last knot on the last value; of two knots at the same
// time the later one wins. The value type needs only the CurveLerp overload
// below (float, Vec3 and Vec4 have one).
//
// idCurve_PolyLine is the family's linear kind under its own name (a track's
// root translation is one); the base already samples linearly.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

inline float CurveLerp(float a, float b, float f)
{
    return a + (b - a) * f;
}

inline Vec3 CurveLerp(const Vec3& a, const Vec3& b, float f)
{
    return {CurveLerp(a.x, b.x, f), CurveLerp(a.y, b.y, f), CurveLerp(a.z, b.z, f)};
}

inline Vec4 CurveLerp(const Vec4& a, const Vec4& b, float f)
{
    return {CurveLerp(a.x, b.x, f), CurveLerp(a.y, b.y, f), CurveLerp(a.z, b.z, f), CurveLerp(a.w, b.w, f)};
}

template <typename T>
class idCurve {
public:
    idCurve()
    {
        times.SetGrowStep(16);
        values.SetGrowStep(16);
    }

    // Inserts the knot after every knot whose time is not later; returns its
    // index.
    uint32_t AddValue(float time, const T& value)
    {
        const uint32_t at = UpperBound(time);
        times.InsertSlot(at);
        times[at] = time;
        values.InsertSlot(at);
        values[at] = value;
        changed = 1;
        return at;
    }

    uint32_t GetNumValues() const { return values.Count(); }
    float GetTime(uint32_t index) const { return times[index]; }
    const T& GetValue(uint32_t index) const { return values[index]; }
    void SetValue(uint32_t index, const T& value)
    {
        values[index] = value;
        changed = 1;
    }

    // The value at a time; a curve without knots gives T{}.
    T GetCurrentValue(float time) const
    {
        const uint32_t count = values.Count();
        if (count == 0)
            return T{};
        const uint32_t next = UpperBound(time);
        if (next == 0)
            return values[0];
        if (next == count)
            return values[count - 1];
        const uint32_t before = next - 1;
        const float span = times[next] - times[before];
        return CurveLerp(values[before], values[next], (time - times[before]) / span);
    }

    // Removes every knot.
    void Clear()
    {
        times.Clear();
        values.Clear();
        currentIndex = -1;
        changed = 1;
    }

    // True when the last knot's time is not after time (and for no knots).
    bool IsDone(float time) const { return times.Count() == 0 || times[times.Count() - 1] <= time; }

    // Spreads the knot times evenly from 0 to duration.
    void SetUniformTimes(float duration)
    {
        const uint32_t count = times.Count();
        for (uint32_t i = 0; i < count; ++i)
            times[i] = count > 1 ? duration * float(i) / float(count - 1) : 0.0f;
        changed = 1;
    }

    CGeArray<float> times;
    CGeArray<T> values;
    int32_t currentIndex = -1;
    uint8_t changed = 0;

private:
    // The first knot whose time is later than time.
    uint32_t UpperBound(float time) const
    {
        uint32_t lo = 0, hi = times.Count();
        while (lo < hi) {
            const uint32_t mid = (lo + hi) / 2;
            if (times[mid] <= time)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
};

template <typename T>
class idCurve_PolyLine : public idCurve<T> {};
