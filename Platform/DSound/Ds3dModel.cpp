#include "Platform/DSound/Ds3dModel.h"

#include <cmath>

namespace {

struct CVec {
    double x, y, z;
};

CVec ToVec(const D3DVECTOR& v)
{
    return {v.x, v.y, v.z};
}

CVec Sub(const CVec& a, const CVec& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

double Dot(const CVec& a, const CVec& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Left-handed axes: with top (0,1,0) and front (0,0,1), top x front is the
// listener's right, (1,0,0).
CVec Cross(const CVec& a, const CVec& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Length(const CVec& v)
{
    return std::sqrt(Dot(v, v));
}

CVec Scale(const CVec& v, double s)
{
    return {v.x * s, v.y * s, v.z * s};
}

const double kDegenerate = 1e-12;

// Gain of the distance law; see DSound.h.
double DistanceGain(double distance, const DS3DBUFFER& source, double rolloff, bool muteAtMaxDistance)
{
    const double minDistance = source.flMinDistance;
    const double maxDistance = source.flMaxDistance < minDistance ? minDistance : source.flMaxDistance;
    if (muteAtMaxDistance && distance > maxDistance)
        return 0.0;
    if (rolloff <= 0.0 || distance <= minDistance)
        return 1.0;
    if (minDistance <= 0.0)
        return 0.0;
    const double clamped = distance < maxDistance ? distance : maxDistance;
    return minDistance / (minDistance + rolloff * (clamped - minDistance));
}

// Cone attenuation in mB for a source whose cone points along orientation,
// heard from the direction toListener.
double ConeMilliBels(const CVec& orientation, const CVec& toListener, const DS3DBUFFER& source)
{
    const double lengths = Length(orientation) * Length(toListener);
    if (lengths < kDegenerate)
        return 0.0;
    double cosine = Dot(orientation, toListener) / lengths;
    cosine = cosine > 1.0 ? 1.0 : (cosine < -1.0 ? -1.0 : cosine);
    const double angle = std::acos(cosine) * (180.0 / M_PI);
    const double inside = source.dwInsideConeAngle * 0.5;
    const double outside = source.dwOutsideConeAngle * 0.5;
    if (angle <= inside)
        return 0.0;
    if (angle >= outside)
        return source.lConeOutsideVolume;
    return source.lConeOutsideVolume * (angle - inside) / (outside - inside);
}

} // namespace

DS3DBUFFER Ds3dDefaultBuffer()
{
    DS3DBUFFER b = {};
    b.dwSize = sizeof(DS3DBUFFER);
    b.dwInsideConeAngle = 360;
    b.dwOutsideConeAngle = 360;
    b.vConeOrientation = {0, 0, 1};
    b.lConeOutsideVolume = 0;
    b.flMinDistance = 1.0f;
    b.flMaxDistance = 1.0e9f;
    b.dwMode = DS3DMODE_NORMAL;
    return b;
}

bool Ds3dIsValidBuffer(const DS3DBUFFER& p)
{
    return p.dwInsideConeAngle <= 360 && p.dwOutsideConeAngle <= 360 && p.dwInsideConeAngle <= p.dwOutsideConeAngle
           && p.lConeOutsideVolume >= DSBVOLUME_MIN && p.lConeOutsideVolume <= DSBVOLUME_MAX
           && p.flMinDistance >= 0.0f && p.flMaxDistance >= 0.0f && p.dwMode <= DS3DMODE_DISABLE;
}

bool Ds3dIsValidOrientation(const D3DVECTOR& front, const D3DVECTOR& top)
{
    const CVec f = ToVec(front);
    const CVec t = ToVec(top);
    return Length(Cross(t, f)) > kDegenerate * Length(t) * Length(f) && Length(t) > kDegenerate;
}

CDs3dGains Ds3dSourceGains(const CDs3dListener& listener, const DS3DBUFFER& source, bool muteAtMaxDistance)
{
    if (source.dwMode == DS3DMODE_DISABLE)
        return {1.0f, 1.0f};

    // The source's place in the listener's frame (x right, y up, z ahead), and
    // the cone's direction and the way to the listener in the same frame as
    // each other.
    CVec local;
    CVec coneDirection = ToVec(source.vConeOrientation);
    CVec toListener;
    if (source.dwMode == DS3DMODE_HEADRELATIVE) {
        local = ToVec(source.vPosition);
        toListener = Scale(local, -1.0);
    } else {
        const CVec top = ToVec(listener.top);
        const CVec up = Scale(top, 1.0 / Length(top));
        CVec right = Cross(up, ToVec(listener.front));
        right = Scale(right, 1.0 / Length(right));
        const CVec ahead = Cross(right, up);
        const CVec offset = Sub(ToVec(source.vPosition), ToVec(listener.position));
        local = {Dot(offset, right), Dot(offset, up), Dot(offset, ahead)};
        toListener = Scale(offset, -1.0);
    }

    const double distance = Length(local);
    double gain = DistanceGain(distance, source, listener.rolloffFactor, muteAtMaxDistance);
    gain *= std::pow(10.0, ConeMilliBels(coneDirection, toListener, source) / 2000.0);

    // Sine of the azimuth: -1 fully left, 1 fully right.
    const double horizontal = std::sqrt(local.x * local.x + local.z * local.z);
    const double side = horizontal < kDegenerate ? 0.0 : local.x / horizontal;
    const double left = side > 0.0 ? 1.0 - side : 1.0;
    const double right = side < 0.0 ? 1.0 + side : 1.0;
    return {(float)(gain * left), (float)(gain * right)};
}
