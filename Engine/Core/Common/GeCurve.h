// Curves: a value of type T interpolated over time from a sorted list of
// knots, after the curve template of id Software's engines.
//
// The family, one template for every value type (Vec2 and Vec3 in the game,
// Vec4 colours in the screen fader, float where a caller wants one):
// - idCurve: the knots, the cached time search and a step evaluation (the value
//   of the first knot not before the time); derivatives are zero.
// - idCurve_Spline: adds the boundary type (free, clamped, closed) and the time
//   from the last knot back to the first on a closed curve.
// - idCurve_PolyLine: linear between neighbouring knots, holding the end values
//   outside them; it ignores the boundary type except in IsDone.
// - idCurve_CatmullRom: the Catmull-Rom spline over four neighbouring knots;
//   beyond the ends the knots are extended linearly (free), the time clamped
//   (clamped) or the knots repeated (closed).
// - idCurve_Bezier: one Bezier curve whose control points are all the knots.
//
// Choices:
// - The time search keeps the index it last found, so evaluations at steadily
//   rising times cost constant time. The cache is an optimisation only and
//   evaluations stay const.
// - A knot added at the time of an existing one goes before the knot the
//   search finds; evaluating exactly at a shared time gives the knot the binary
//   search meets first.
// - Degenerate data gives finite values: a curve without knots the zero value,
//   a single knot at time 0 after SetUniformTimes, a Bezier curve whose first
//   and last times are equal its first value, two Catmull-Rom knots at one
//   time the earlier of the two segment values.
// - Bezier weights live in a small stack buffer; more knots than it holds take
//   a heap buffer, so a curve read from a file cannot overflow the stack.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"

#include <cstdint>
#include <vector>

// Arithmetic on curve values: acc + v * w, v / d and a - b, per component.
inline float CurveMad(float acc, float v, float w)
{
    return acc + v * w;
}
inline float CurveDiv(float v, float d)
{
    return v / d;
}
inline float CurveSub(float a, float b)
{
    return a - b;
}
inline Vec2 CurveMad(const Vec2& acc, const Vec2& v, float w)
{
    return {acc.x + v.x * w, acc.y + v.y * w};
}
inline Vec2 CurveDiv(const Vec2& v, float d)
{
    return {v.x / d, v.y / d};
}
inline Vec2 CurveSub(const Vec2& a, const Vec2& b)
{
    return {a.x - b.x, a.y - b.y};
}
inline Vec3 CurveMad(const Vec3& acc, const Vec3& v, float w)
{
    return {acc.x + v.x * w, acc.y + v.y * w, acc.z + v.z * w};
}
inline Vec3 CurveDiv(const Vec3& v, float d)
{
    return {v.x / d, v.y / d, v.z / d};
}
inline Vec3 CurveSub(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec4 CurveMad(const Vec4& acc, const Vec4& v, float w)
{
    return {acc.x + v.x * w, acc.y + v.y * w, acc.z + v.z * w, acc.w + v.w * w};
}
inline Vec4 CurveDiv(const Vec4& v, float d)
{
    return {v.x / d, v.y / d, v.z / d, v.w / d};
}
inline Vec4 CurveSub(const Vec4& a, const Vec4& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}

enum CurveBoundary : int32_t {
    CURVE_BOUNDARY_FREE = 0,
    CURVE_BOUNDARY_CLAMPED = 1,
    CURVE_BOUNDARY_CLOSED = 2,
};

template <typename T>
class idCurve {
public:
    idCurve()
    {
        times.SetGrowStep(16);
        values.SetGrowStep(16);
    }
    virtual ~idCurve() = default;

    // Inserts the knot where the time search puts its time; its index.
    virtual int32_t AddKnot(float time, const T& value)
    {
        const int32_t at = FindIndex(time);
        times.InsertSlot(uint32_t(at));
        times[uint32_t(at)] = time;
        values.InsertSlot(uint32_t(at));
        values[uint32_t(at)] = value;
        changed = 1;
        return at;
    }
    // Removes knot index when it exists; marks the curve changed in any case.
    virtual void RemoveKnot(int32_t index)
    {
        if (index >= 0 && uint32_t(index) < values.Count())
            values.RemoveAt(uint32_t(index));
        if (index >= 0 && uint32_t(index) < times.Count())
            times.RemoveAt(uint32_t(index));
        changed = 1;
    }
    virtual void Clear()
    {
        times.Clear();
        values.Clear();
        cachedIndex = -1;
        changed = 1;
    }
    // The value of the first knot not before time (the last past the end).
    virtual T GetValue(float time) const
    {
        const uint32_t count = values.Count();
        if (count == 0)
            return T{};
        const uint32_t i = uint32_t(FindIndex(time));
        return values[i < count ? i : count - 1];
    }
    virtual T GetFirstDerivative(float /*time*/) const { return T{}; }
    virtual T GetSecondDerivative(float /*time*/) const { return T{}; }
    // True from the last knot's time on (and for a curve without knots).
    virtual bool IsDone(float time) const { return times.Count() == 0 || time >= times[times.Count() - 1]; }

    uint32_t GetNumValues() const { return values.Count(); }
    float GetTime(uint32_t index) const { return times[index]; }
    const T& GetKnotValue(uint32_t index) const { return values[index]; }
    void SetValue(uint32_t index, const T& value)
    {
        values[index] = value;
        changed = 1;
    }

    // Spreads the knot times evenly from 0 to total; a single knot sits at 0.
    void SetUniformTimes(float total)
    {
        const uint32_t count = times.Count();
        for (uint32_t k = 0; k < count; ++k)
            times[k] = count > 1 ? float(k) * total / float(count - 1) : 0.0f;
        changed = 1;
    }

    // The index of the first knot whose time is not less than time, or the
    // knot count when time is after the last knot. A knot exactly at time is
    // found by the binary search at once and leaves the cache alone.
    int32_t FindIndex(float time) const
    {
        const int32_t n = int32_t(times.Count());
        if (n == 0)
            return 0;
        const int32_t c = cachedIndex;
        if (c >= 0 && c <= n) {
            if (c == 0 && times[0] >= time)
                return 0;
            if (c == n && times[uint32_t(n - 1)] < time)
                return n;
            if (c > 0 && c < n && times[uint32_t(c - 1)] < time && times[uint32_t(c)] >= time)
                return c;
            if (c < n && times[uint32_t(c)] < time && (c + 1 == n || times[uint32_t(c + 1)] >= time)) {
                cachedIndex = c + 1;
                return c + 1;
            }
        }
        int32_t len = n, offset = 0, step = 0, mid;
        do {
            mid = len / 2;
            const int32_t i = offset + mid;
            if (times[uint32_t(i)] == time)
                return i;
            if (times[uint32_t(i)] < time) {
                offset = i;
                step = 1;
            } else {
                step = 0;
            }
            len -= mid;
        } while (mid != 0);
        cachedIndex = offset + step;
        return offset + step;
    }

    CGeArray<float> times;
    CGeArray<T> values;
    mutable int32_t cachedIndex = -1;
    uint8_t changed = 0;
};

template <typename T>
class idCurve_Spline : public idCurve<T> {
public:
    bool IsDone(float time) const override { return boundaryType != CURVE_BOUNDARY_CLOSED && idCurve<T>::IsDone(time); }
    virtual void SetBoundaryType(int32_t type)
    {
        boundaryType = type;
        this->changed = 1;
    }
    virtual int32_t GetBoundaryType() const { return boundaryType; }
    virtual void SetCloseTime(float time)
    {
        closeTime = time;
        this->changed = 1;
    }
    virtual float GetCloseTime() const { return boundaryType == CURVE_BOUNDARY_CLOSED ? closeTime : 0.0f; }

    // The time of knot k, extended beyond the ends by the boundary type.
    float TimeForIndex(int32_t k) const
    {
        const int32_t n = int32_t(this->times.Count());
        const int32_t last = n - 1;
        const auto& t = this->times;
        if (k >= 0 && k <= last)
            return t[uint32_t(k)];
        if (boundaryType == CURVE_BOUNDARY_CLOSED) {
            const int32_t r = ((k % n) + n) % n;
            const int32_t p = (k - r) / n;
            return t[uint32_t(r)] + float(p) * (t[uint32_t(last)] + closeTime);
        }
        if (n < 2)
            return n == 1 ? t[0] : 0.0f;
        if (k < 0)
            return t[0] + (t[1] - t[0]) * float(k);
        return t[uint32_t(last)] + (t[uint32_t(last)] - t[uint32_t(last - 1)]) * float(k - last);
    }
    // The value of knot k, extended like TimeForIndex.
    T ValueForIndex(int32_t k) const
    {
        const int32_t n = int32_t(this->values.Count());
        const int32_t last = n - 1;
        const auto& v = this->values;
        if (k >= 0 && k <= last)
            return v[uint32_t(k)];
        if (n == 0)
            return T{};
        if (boundaryType == CURVE_BOUNDARY_CLOSED)
            return v[uint32_t(((k % n) + n) % n)];
        if (n < 2)
            return v[0];
        if (k < 0)
            return CurveMad(v[0], CurveSub(v[1], v[0]), float(k));
        return CurveMad(v[uint32_t(last)], CurveSub(v[uint32_t(last)], v[uint32_t(last - 1)]), float(k - last));
    }

    int32_t boundaryType = CURVE_BOUNDARY_FREE;
    float closeTime = 0.0f;
};

template <typename T>
class idCurve_PolyLine : public idCurve_Spline<T> {
public:
    T GetValue(float time) const override
    {
        const auto& t = this->times;
        const auto& v = this->values;
        const uint32_t n = v.Count();
        if (n == 0)
            return T{};
        const uint32_t i = uint32_t(this->FindIndex(time));
        if (i >= n)
            return v[n - 1];
        if (i == 0)
            return v[0];
        const float d = t[i] - t[i - 1];
        if (d == 0.0f)
            return v[i];
        return CurveDiv(CurveMad(CurveMad(T{}, v[i], time - t[i - 1]), v[i - 1], t[i] - time), d);
    }
    T GetFirstDerivative(float time) const override
    {
        const auto& t = this->times;
        const uint32_t n = this->values.Count();
        if (n < 2)
            return T{};
        uint32_t i = uint32_t(this->FindIndex(time));
        if (i > n - 1)
            i = n - 1;
        if (i == 0)
            i = 1;
        const float t0 = t[i] == time ? t[i - 1] : time;
        const float span = t[i] - t0;
        if (span == 0.0f)
            return T{};
        return CurveDiv(CurveSub(this->values[i], GetValue(t0)), span);
    }
    T GetSecondDerivative(float /*time*/) const override { return T{}; }
};

template <typename T>
class idCurve_CatmullRom : public idCurve_Spline<T> {
public:
    T GetValue(float time) const override { return Evaluate(time, 0); }
    T GetFirstDerivative(float time) const override { return Evaluate(time, 1); }
    T GetSecondDerivative(float time) const override { return Evaluate(time, 2); }

private:
    // The value (order 0) or a derivative (order 1 or 2) at time.
    T Evaluate(float time, int order) const
    {
        const uint32_t n = this->values.Count();
        if (n == 0)
            return T{};
        if (n == 1)
            return order == 0 ? this->values[0] : T{};
        if (this->boundaryType == CURVE_BOUNDARY_CLAMPED)
            time = Clamp(this->times[0], this->times[n - 1], time);
        const int32_t i = this->FindIndex(time);
        const float before = this->TimeForIndex(i - 1);
        const float span = this->TimeForIndex(i) - before;
        const float s = span != 0.0f ? (time - before) / span : 0.0f;
        float w[4];
        float scale = 1.0f;
        if (order == 0) {
            w[0] = ((2.0f - s) * s - 1.0f) * s * 0.5f;
            w[1] = (2.0f + (3.0f * s - 5.0f) * s * s) * 0.5f;
            w[2] = ((4.0f - 3.0f * s) * s + 1.0f) * s * 0.5f;
            w[3] = (s - 1.0f) * s * s * 0.5f;
        } else if (order == 1) {
            if (span == 0.0f)
                return T{};
            w[0] = (2.0f - 1.5f * s) * s - 0.5f;
            w[1] = (4.5f * s - 5.0f) * s;
            w[2] = 0.5f + (4.0f - 4.5f * s) * s;
            w[3] = 1.5f * s * s - s;
            scale = span;
        } else {
            scale = span * span;
            if (scale == 0.0f)
                return T{};
            w[0] = 2.0f - 3.0f * s;
            w[1] = 9.0f * s - 5.0f;
            w[2] = 4.0f - 9.0f * s;
            w[3] = 3.0f * s - 1.0f;
        }
        T sum{};
        for (int32_t k = 0; k < 4; ++k)
            sum = CurveMad(sum, this->ValueForIndex(i - 2 + k), w[k]);
        return order == 0 ? sum : CurveDiv(sum, scale);
    }
};

template <typename T>
class idCurve_Bezier : public idCurve<T> {
public:
    T GetValue(float time) const override { return Evaluate(time, 0); }
    T GetFirstDerivative(float time) const override { return Evaluate(time, 1); }
    T GetSecondDerivative(float time) const override { return Evaluate(time, 2); }

private:
    static constexpr uint32_t kStackWeights = 32;

    // Bernstein weights B(degree, k, s) for k = 0..degree, from binomial
    // coefficients built by addition (one row of Pascal's triangle).
    static void Weights(int32_t degree, float s, float* out)
    {
        out[0] = 1.0f;
        for (int32_t row = 1; row <= degree; ++row) {
            out[row] = 1.0f;
            for (int32_t k = row - 1; k > 0; --k)
                out[k] = out[k] + out[k - 1];
        }
        for (int32_t k = 0; k <= degree; ++k) {
            float w = out[k];
            for (int32_t e = 0; e < k; ++e)
                w *= s;
            for (int32_t e = 0; e < degree - k; ++e)
                w *= 1.0f - s;
            out[k] = w;
        }
    }

    T Evaluate(float time, int order) const
    {
        const auto& t = this->times;
        const auto& v = this->values;
        const int32_t n = int32_t(v.Count());
        if (n == 0)
            return T{};
        const float span = t[uint32_t(n - 1)] - t[0];
        if (n == 1 || span == 0.0f)
            return order == 0 ? v[0] : T{};
        const int32_t d = n - 1;
        if (order > d)
            return T{};
        const float s = (time - t[0]) / span;
        float stackWeights[kStackWeights];
        std::vector<float> heapWeights;
        float* b = stackWeights;
        if (uint32_t(n) > kStackWeights) {
            heapWeights.resize(uint32_t(n));
            b = heapWeights.data();
        }
        const int32_t degree = d - order;
        Weights(degree, s, b);
        // The weight of knot k: B(degree, k) differenced order times.
        auto at = [&](int32_t k) { return k >= 0 && k <= degree ? b[k] : 0.0f; };
        T sum{};
        for (int32_t k = 0; k < n; ++k) {
            float w;
            if (order == 0)
                w = at(k);
            else if (order == 1)
                w = at(k - 1) - at(k);
            else
                w = at(k - 2) - 2.0f * at(k - 1) + at(k);
            sum = CurveMad(sum, v[uint32_t(k)], w);
        }
        if (order == 1)
            return CurveMad(T{}, sum, float(d) / span);
        if (order == 2)
            return CurveMad(T{}, sum, float(d * (d - 1)) / (span * span));
        return sum;
    }
};

extern template class idCurve<Vec2>;
extern template class idCurve<Vec3>;
extern template class idCurve_Spline<Vec2>;
extern template class idCurve_Spline<Vec3>;
extern template class idCurve_PolyLine<Vec2>;
extern template class idCurve_PolyLine<Vec3>;
extern template class idCurve_CatmullRom<Vec2>;
extern template class idCurve_CatmullRom<Vec3>;
extern template class idCurve_Bezier<Vec2>;
extern template class idCurve_Bezier<Vec3>;
