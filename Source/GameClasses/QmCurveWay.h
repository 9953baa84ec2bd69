// Curve ways: the named 3D curves of a location ("curve_way" elements) along
// which the curve motion property carries entities.
//
// A "curve_way" element has "type" ("bezier", "catmullrom" or "polyline"),
// "name" and "time" (the duration) and one "point" child per knot ("pos",
// three numbers). The knots are spread evenly over the duration, the first at
// time 0; a single point sits at 0.
//
// Choices:
// - A name longer than the record's 31 characters is refused with a log line
//   rather than cut, so a script never follows a curve under a name the file
//   does not hold.
// - The location owns its records in a map by name; a second record of a
//   name is dropped (debug trace) and the first stays.
#pragma once

#include "Engine/Core/Common/GeCurve.h"

#include <cstdint>

class TiXmlElement;

enum QmCurveKind : int32_t {
    QM_CURVE_BEZIER = 0,
    QM_CURVE_CATMULLROM = 1,
    QM_CURVE_POLYLINE = 2,
    QM_CURVE_NONE = 3,
};

struct QmCurveWay {
    QmCurveWay() = default;
    QmCurveWay(const QmCurveWay&) = delete;
    QmCurveWay& operator=(const QmCurveWay&) = delete;
    ~QmCurveWay() { delete curve; }

    int32_t kind = QM_CURVE_NONE;
    idCurve<Vec3>* curve = nullptr; // owned, null when none
    char name[32] = {};             // at most 31 characters
    float duration = 0.0f;          // the "time" attribute
};

// Reads a "curve_way" element into record (its previous curve deleted first).
// False when the element is refused: no or an unknown "type" (a missing one
// is reported first), no or an empty "name", a name too long, no "time".
bool LoadCurveWay(QmCurveWay& record, const TiXmlElement* element);
