#include "Platform/D3d9/D3d9Glsl.h"

const char* const kD3d9PositionGlsl =
    "uniform vec4 d3d_PositionFix[2];\n"
    "vec4 d3dPositionFromRhw(vec4 p)\n"
    "{\n"
    "    float w = (p.w != 0.0) ? 1.0 / p.w : 1.0;\n"
    "    vec4 f = d3d_PositionFix[0];\n"
    "    vec4 g = d3d_PositionFix[1];\n"
    "    float x = (p.x + 0.5) * f.x - 1.0;\n"
    "    float y = (p.y + f.z) * f.y - 1.0;\n"
    "    return vec4(x * w, f.w * y * w, (p.z * g.z + g.w) * w, w);\n"
    "}\n"
    "vec4 d3dPositionFromClip(vec4 c)\n"
    "{\n"
    "    vec4 f = d3d_PositionFix[0];\n"
    "    vec4 g = d3d_PositionFix[1];\n"
    "    return vec4(c.x + c.w * g.x, -f.w * (c.y - c.w * g.y), c.z * g.z + c.w * g.w, c.w);\n"
    "}\n";
