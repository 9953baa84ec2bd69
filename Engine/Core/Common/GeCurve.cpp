// The curve family compiled once for the two vector types the game uses.
#include "Engine/Core/Common/GeCurve.h"

template class idCurve<Vec2>;
template class idCurve<Vec3>;
template class idCurve_Spline<Vec2>;
template class idCurve_Spline<Vec3>;
template class idCurve_PolyLine<Vec2>;
template class idCurve_PolyLine<Vec3>;
template class idCurve_CatmullRom<Vec2>;
template class idCurve_CatmullRom<Vec3>;
template class idCurve_Bezier<Vec2>;
template class idCurve_Bezier<Vec3>;
