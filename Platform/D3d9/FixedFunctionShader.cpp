// GLSL generation from a fixed-function key. The programs follow Direct3D 9's
// fixed-function formulas: vertex blending in world space, lighting in camera
// space, the texture cascade with saturation after every stage, then specular
// add, fog and the alpha test.
#include "Platform/D3d9/FixedFunctionShader.h"

#include "Platform/D3d9/D3d9Glsl.h"

#include <cstdio>

const char* const kFfpBlockNames[5] = {"FfpPalette", "FfpNormalPalette", "FfpTransform", "FfpLighting", "FfpPixel"};

namespace {

std::string Num(int value)
{
    return std::to_string(value);
}

std::string Attribute(int location, const char* type, const std::string& name)
{
    return "layout(location = " + Num(location) + ") in " + type + " " + name + ";\n";
}

bool StageGenerates(const FfpKey& key, FfpTexGen gen)
{
    for (int s = 0; s < key.stageCount; ++s)
        if (key.stages[s].sampled && key.stages[s].texGen == gen)
            return true;
    return false;
}

bool NeedsCameraNormal(const FfpKey& key)
{
    return (key.lighting && key.hasNormal) || StageGenerates(key, kFfpTexGenCameraNormal) ||
           StageGenerates(key, kFfpTexGenCameraReflection) || StageGenerates(key, kFfpTexGenSphereMap);
}

bool NeedsPixelBlockInVertex(const FfpKey& key)
{
    return key.vertexFogMode != 0;
}

const char* kTransformBlock = "layout(std140) uniform FfpTransform {\n"
                              "    mat4 uView;\n"
                              "    mat4 uProjection;\n"
                              "    mat3 uViewNormal;\n"
                              "    mat4 uTexMatrix[8];\n"
                              "    vec4 uFlags;\n"
                              "};\n";

const char* kLightingBlock = "struct FfpLight {\n"
                             "    vec4 diffuse;\n"
                             "    vec4 specular;\n"
                             "    vec4 ambient;\n"
                             "    vec4 position;\n"
                             "    vec4 direction;\n"
                             "    vec4 attenuation;\n"
                             "    vec4 cone;\n"
                             "};\n"
                             "layout(std140) uniform FfpLighting {\n"
                             "    vec4 uMaterialDiffuse;\n"
                             "    vec4 uMaterialAmbient;\n"
                             "    vec4 uMaterialSpecular;\n"
                             "    vec4 uMaterialEmissive;\n"
                             "    vec4 uGlobalAmbient;\n"
                             "    vec4 uSources;\n"
                             "    vec4 uLightParams;\n"
                             "    FfpLight uLights[4];\n"
                             "};\n";

const char* kPixelBlock = "layout(std140) uniform FfpPixel {\n"
                          "    vec4 uTextureFactor;\n"
                          "    vec4 uFogColor;\n"
                          "    vec4 uFog;\n"
                          "    vec4 uAlphaRef;\n"
                          "    vec4 uStageConstant[8];\n"
                          "    vec4 uBumpMatrix[8];\n"
                          "    vec4 uBumpLuminance[8];\n"
                          "};\n";

// f from distance d for a D3DFOG mode, with uFog = (start, end, density, 1 / (end - start)).
std::string FogFormula(int mode, const std::string& d)
{
    switch (mode) {
    case D3DFOG_LINEAR: return "(uFog.y - " + d + ") * uFog.w";
    case D3DFOG_EXP: return "exp(-(" + d + ") * uFog.z)";
    default: return "exp(-((" + d + ") * uFog.z) * ((" + d + ") * uFog.z))";
    }
}

// ---------------------------------------------------------------------------
// Vertex program.

void EmitBlend(const FfpKey& key, bool normals, std::string& out)
{
    const char* idx = key.blendIndexed ? "int(aBlendIndices[%d])" : "%d";
    char buf[64];
    if (key.blendWeights == 0) {
        std::snprintf(buf, sizeof buf, idx, 0);
        out += "    int i0 = " + std::string(buf) + ";\n";
        out += "    vec4 worldPos = uWorld[i0] * pos;\n";
        if (normals)
            out += "    vec3 worldNormal = uWorldNormal[i0] * normalIn;\n";
        return;
    }
    int k = key.blendWeights;
    out += "    float w[4];\n";
    out += "    float rest = 1.0;\n";
    for (int j = 0; j < k; ++j) {
        std::string wj = j < key.streamWeights ? "aBlendWeight[" + Num(j) + "]" : "0.0";
        out += "    w[" + Num(j) + "] = " + wj + ";\n    rest -= w[" + Num(j) + "];\n";
    }
    out += "    w[" + Num(k) + "] = rest;\n";
    out += "    vec4 worldPos = vec4(0.0);\n";
    if (normals)
        out += "    vec3 worldNormal = vec3(0.0);\n";
    for (int j = 0; j <= k; ++j) {
        std::snprintf(buf, sizeof buf, idx, j);
        out += "    { int i = " + std::string(buf) + ";\n";
        out += "      worldPos += w[" + Num(j) + "] * (uWorld[i] * pos);\n";
        if (normals)
            out += "      worldNormal += w[" + Num(j) + "] * (uWorldNormal[i] * normalIn); }\n";
        else
            out += "    }\n";
    }
}

void EmitLighting(const FfpKey& key, std::string& out)
{
    out += "    vec4 Cd = FfpSource(uSources.x, uMaterialDiffuse);\n"
           "    vec4 Ca = FfpSource(uSources.y, uMaterialAmbient);\n"
           "    vec4 Cs = FfpSource(uSources.z, uMaterialSpecular);\n"
           "    vec4 Ce = FfpSource(uSources.w, uMaterialEmissive);\n"
           "    vec3 ambientSum = vec3(0.0);\n"
           "    vec3 diffuseSum = vec3(0.0);\n"
           "    vec3 specularSum = vec3(0.0);\n"
           "    int lightCount = int(uLightParams.y);\n"
           "    for (int i = 0; i < 4; ++i) {\n"
           "        if (i >= lightCount) break;\n"
           "        vec3 toLight;\n"
           "        float scale = 1.0;\n"
           "        if (uLights[i].position.w == 3.0) {\n"
           "            toLight = -uLights[i].direction.xyz;\n"
           "        } else {\n"
           "            vec3 delta = uLights[i].position.xyz - cameraPos.xyz;\n"
           "            float d = length(delta);\n"
           "            if (d > uLights[i].direction.w) continue;\n"
           "            toLight = d > 0.0 ? delta / d : vec3(0.0);\n"
           "            vec4 att = uLights[i].attenuation;\n"
           "            scale = 1.0 / (att.x + att.y * d + att.z * d * d);\n"
           "            if (uLights[i].position.w == 2.0) {\n"
           "                float rho = dot(-uLights[i].direction.xyz, toLight);\n"
           "                float inner = uLights[i].cone.x;\n"
           "                float outer = uLights[i].cone.y;\n"
           "                if (rho <= outer) scale = 0.0;\n"
           "                else if (rho <= inner) scale *= pow((rho - outer) / (inner - outer), att.w);\n"
           "            }\n"
           "        }\n"
           "        ambientSum += uLights[i].ambient.rgb * scale;\n";
    if (key.hasNormal) {
        out += "        float nl = dot(cameraNormal, toLight);\n"
               "        if (nl > 0.0) {\n"
               "            diffuseSum += uLights[i].diffuse.rgb * (nl * scale);\n";
        if (key.litSpecular) {
            // Without LOCALVIEWER the viewer is infinitely far down the camera's
            // view axis: the direction to it is (0, 0, -1) for every vertex.
            out += "            vec3 eye = uFlags.y != 0.0 ? normalize(-cameraPos.xyz) : vec3(0.0, 0.0, -1.0);\n"
                   "            float nh = dot(cameraNormal, normalize(eye + toLight));\n"
                   "            if (nh > 0.0) specularSum += uLights[i].specular.rgb * (pow(nh, uLightParams.x) * "
                   "scale);\n";
        }
        out += "        }\n";
    }
    out += "    }\n"
           "    vDiffuse = vec4(clamp(Ce.rgb + Ca.rgb * (uGlobalAmbient.rgb + ambientSum) + Cd.rgb * diffuseSum, 0.0, "
           "1.0),\n"
           "                    clamp(Cd.a, 0.0, 1.0));\n";
    if (key.litSpecular)
        out += "    vSpecular = vec4(clamp(Cs.rgb * specularSum, 0.0, 1.0), specularIn.a);\n";
    else
        out += "    vSpecular = vec4(0.0, 0.0, 0.0, specularIn.a);\n";
}

// Texture coordinates of one stage, as Direct3D hands them to the rasterizer.
void EmitTexCoord(const FfpKey& key, int s, std::string& out)
{
    const FfpStageKey& st = key.stages[s];
    std::string t = "t" + Num(s);
    std::string src;
    switch (st.texGen) {
    case kFfpTexGenCameraNormal: src = "vec4(cameraNormal, 1.0)"; break;
    case kFfpTexGenCameraPosition: src = "vec4(cameraPos.xyz, 1.0)"; break;
    case kFfpTexGenCameraReflection: src = "vec4(FfpReflection(), 1.0)"; break;
    case kFfpTexGenSphereMap: src = "FfpSphereMap()"; break;
    default: src = "aTexCoord" + Num(s); break;
    }
    out += "    vec4 " + t + " = " + src + ";\n";
    if (st.texMatrix) {
        // Supplied components, then 1, then 0: a 2D set becomes (u, v, 1, 0).
        static const char* kPad[5] = {"", "vec4(%s.x, 1.0, 0.0, 0.0)", "vec4(%s.xy, 1.0, 0.0)", "vec4(%s.xyz, 1.0)",
                                      "%s"};
        static const char* kKeep[5] = {"%s", "vec4(%s.x, 0.0, 0.0, 0.0)", "vec4(%s.xy, 0.0, 0.0)", "vec4(%s.xyz, 0.0)",
                                       "%s"};
        char buf[96];
        std::snprintf(buf, sizeof buf, kPad[st.texSetSize], t.c_str());
        out += "    " + t + " = uTexMatrix[" + Num(s) + "] * " + buf + ";\n";
        std::snprintf(buf, sizeof buf, kKeep[st.texCount], t.c_str());
        out += "    " + t + " = " + buf + ";\n";
    }
    out += "    vTex" + Num(s) + " = " + t + ";\n";
}

} // namespace

bool FfpKeyNeedsNormals(const FfpKey& key)
{
    return !key.preTransformed && NeedsCameraNormal(key) && key.hasNormal;
}

int FfpKeyPaletteReach(const FfpKey& key)
{
    return key.blendWeights + 1;
}

std::string FfpVertexShaderSource(const FfpKey& key)
{
    std::string out = "#version 330 core\n";
    const char* interp = key.flatShade ? "flat " : "";
    bool normals = FfpKeyNeedsNormals(key);
    bool cameraNormal = !key.preTransformed && NeedsCameraNormal(key);

    out += Attribute(kD3d9AttrPosition, "vec4", "aPosition");
    if (key.streamWeights)
        out += Attribute(kD3d9AttrBlendWeight, "vec4", "aBlendWeight");
    if (key.blendIndexed)
        out += Attribute(kD3d9AttrBlendIndices, "uvec4", "aBlendIndices");
    if (normals)
        out += Attribute(kD3d9AttrNormal, "vec3", "aNormal");
    if (key.hasDiffuse)
        out += Attribute(kD3d9AttrDiffuse, "vec4", "aDiffuse");
    if (key.hasSpecular)
        out += Attribute(kD3d9AttrSpecular, "vec4", "aSpecular");
    for (int s = 0; s < key.stageCount; ++s)
        if (key.stages[s].sampled && key.stages[s].texGen == kFfpTexGenPassThru)
            out += Attribute(kD3d9AttrTexCoord0 + s, "vec4", "aTexCoord" + Num(s));

    out += kTransformBlock;
    if (!key.preTransformed)
        out += "layout(std140) uniform FfpPalette { mat4 uWorld[256]; };\n";
    if (normals)
        out += "layout(std140) uniform FfpNormalPalette { mat3 uWorldNormal[256]; };\n";
    if (key.lighting)
        out += kLightingBlock;
    if (NeedsPixelBlockInVertex(key))
        out += kPixelBlock;

    out += std::string(interp) + "out vec4 vDiffuse;\n";
    out += std::string(interp) + "out vec4 vSpecular;\n";
    for (int s = 0; s < key.stageCount; ++s)
        if (key.stages[s].sampled)
            out += "out vec4 vTex" + Num(s) + ";\n";

    out += kD3d9PositionGlsl;

    if (key.lighting) {
        out += "vec4 FfpSource(float source, vec4 material) {\n";
        out += std::string("    if (source == 1.0) return ") + (key.hasDiffuse ? "aDiffuse" : "material") + ";\n";
        out += std::string("    if (source == 2.0) return ") + (key.hasSpecular ? "aSpecular" : "material") + ";\n";
        out += "    return material;\n}\n";
    }

    out += "void main() {\n";
    out += std::string("    vec4 diffuseIn = ") + (key.hasDiffuse ? "aDiffuse" : "vec4(1.0)") + ";\n";
    out += std::string("    vec4 specularIn = ") + (key.hasSpecular ? "aSpecular" : "vec4(0.0)") + ";\n";

    if (key.preTransformed) {
        out += "    gl_Position = d3dPositionFromRhw(aPosition);\n"
               "    vDiffuse = diffuseIn;\n"
               "    vSpecular = specularIn;\n";
    } else {
        out += "    vec4 pos = vec4(aPosition.xyz, 1.0);\n";
        if (normals)
            out += "    vec3 normalIn = aNormal;\n";
        EmitBlend(key, normals, out);
        out += "    vec4 cameraPos = uView * worldPos;\n";
        if (cameraNormal) {
            if (normals)
                out += "    vec3 cameraNormal = uViewNormal * worldNormal;\n";
            else
                out += "    vec3 cameraNormal = vec3(0.0);\n";
            out += "    if (uFlags.x != 0.0 && dot(cameraNormal, cameraNormal) > 0.0) cameraNormal = "
                   "normalize(cameraNormal);\n";
        }
        out += "    gl_Position = d3dPositionFromClip(uProjection * cameraPos);\n";
        if (key.lighting) {
            EmitLighting(key, out);
        } else {
            out += "    vDiffuse = diffuseIn;\n"
                   "    vSpecular = specularIn;\n";
        }
        if (key.vertexFogMode) {
            std::string d = key.rangeFog ? "length(cameraPos.xyz)" : "abs(cameraPos.z)";
            out += "    vSpecular.a = clamp(" + FogFormula(key.vertexFogMode, d) + ", 0.0, 1.0);\n";
        }
    }
    for (int s = 0; s < key.stageCount; ++s)
        if (key.stages[s].sampled)
            EmitTexCoord(key, s, out);
    out += "}\n";

    // Helpers used by generated coordinates; defined after main would not
    // compile, so splice them in before it when needed.
    if (StageGenerates(key, kFfpTexGenCameraReflection) || StageGenerates(key, kFfpTexGenSphereMap)) {
        std::string helpers = "vec3 FfpReflectionOf(vec3 cameraPos, vec3 n) {\n"
                              "    vec3 e = uFlags.y != 0.0 ? normalize(-cameraPos) : vec3(0.0, 0.0, -1.0);\n"
                              "    if (dot(n, n) > 0.0) n = normalize(n);\n"
                              "    return 2.0 * dot(e, n) * n - e;\n"
                              "}\n"
                              "#define FfpReflection() FfpReflectionOf(cameraPos.xyz, cameraNormal)\n"
                              "vec4 FfpSphereMapOf(vec3 r) {\n"
                              "    float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));\n"
                              "    return vec4(r.x / m + 0.5, r.y / m + 0.5, 0.0, 1.0);\n"
                              "}\n"
                              "#define FfpSphereMap() FfpSphereMapOf(FfpReflection())\n";
        out.insert(out.find("void main()"), helpers);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Fragment program.

namespace {

std::string ArgExpr(uint8_t arg, int stage)
{
    std::string base;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: base = "diffuse"; break;
    case D3DTA_CURRENT: base = "current"; break;
    case D3DTA_TEXTURE: base = "tex" + Num(stage); break;
    case D3DTA_TFACTOR: base = "uTextureFactor"; break;
    case D3DTA_SPECULAR: base = "specular"; break;
    case D3DTA_TEMP: base = "temp"; break;
    default: base = "uStageConstant[" + Num(stage) + "]"; break;
    }
    if (arg & D3DTA_ALPHAREPLICATE)
        base += ".aaaa";
    if (arg & D3DTA_COMPLEMENT)
        base = "(1.0 - " + base + ")";
    return base;
}

// One operation on the components named by part (".rgb" or ".a").
std::string OpExpr(int op, const uint8_t args[3], int stage, const std::string& part)
{
    std::string a0 = "(" + ArgExpr(args[0], stage) + ")" + part;
    std::string a1 = "(" + ArgExpr(args[1], stage) + ")" + part;
    std::string a2 = "(" + ArgExpr(args[2], stage) + ")" + part;
    std::string a1Alpha = "(" + ArgExpr(args[1], stage) + ").a";
    std::string tex = "tex" + Num(stage);
    switch (op) {
    case D3DTOP_MODULATE: return a1 + " * " + a2;
    case D3DTOP_MODULATE2X: return "2.0 * (" + a1 + " * " + a2 + ")";
    case D3DTOP_MODULATE4X: return "4.0 * (" + a1 + " * " + a2 + ")";
    case D3DTOP_ADD: return a1 + " + " + a2;
    case D3DTOP_ADDSIGNED: return a1 + " + " + a2 + " - 0.5";
    case D3DTOP_ADDSIGNED2X: return "2.0 * (" + a1 + " + " + a2 + " - 0.5)";
    case D3DTOP_SUBTRACT: return a1 + " - " + a2;
    case D3DTOP_ADDSMOOTH: return a1 + " + " + a2 + " - " + a1 + " * " + a2;
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + a2 + ", " + a1 + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + a2 + ", " + a1 + ", " + tex + ".a)";
    case D3DTOP_BLENDFACTORALPHA: return "mix(" + a2 + ", " + a1 + ", uTextureFactor.a)";
    case D3DTOP_BLENDTEXTUREALPHAPM: return a1 + " + " + a2 + " * (1.0 - " + tex + ".a)";
    case D3DTOP_BLENDCURRENTALPHA: return "mix(" + a2 + ", " + a1 + ", current.a)";
    case D3DTOP_MODULATEALPHA_ADDCOLOR: return a1 + " + " + a1Alpha + " * " + a2;
    case D3DTOP_MODULATECOLOR_ADDALPHA: return a1 + " * " + a2 + " + " + a1Alpha;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return "(1.0 - " + a1Alpha + ") * " + a2 + " + " + a1;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return "(1.0 - " + a1 + ") * " + a2 + " + " + a1Alpha;
    case D3DTOP_DOTPRODUCT3: {
        std::string dot =
            "4.0 * dot((" + ArgExpr(args[1], stage) + ").rgb - 0.5, (" + ArgExpr(args[2], stage) + ").rgb - 0.5)";
        return part == ".a" ? dot : "vec3(" + dot + ")";
    }
    case D3DTOP_MULTIPLYADD: return a0 + " + " + a1 + " * " + a2;
    case D3DTOP_LERP: return "mix(" + a2 + ", " + a1 + ", " + a0 + ")";
    default: return a1; // SELECTARG1, PREMODULATE
    }
}

bool IsBumpOp(int op)
{
    return op == D3DTOP_BUMPENVMAP || op == D3DTOP_BUMPENVMAPLUMINANCE;
}

void EmitStageSample(const FfpKey& key, int s, std::string& out)
{
    const FfpStageKey& st = key.stages[s];
    std::string n = Num(s);
    out += "    vec4 tc" + n + " = vTex" + n + ";\n";
    if (st.texProjected && st.texCount >= 1) {
        static const char* kLast[5] = {"", "x", "y", "z", "w"};
        out += "    tc" + n + ".xy /= tc" + n + "." + kLast[st.texCount] + ";\n";
    }
    if (s > 0 && IsBumpOp(key.stages[s - 1].colorOp)) {
        std::string p = Num(s - 1);
        out += "    tc" + n + ".xy += vec2(bump" + p + ".x * uBumpMatrix[" + p + "].x + bump" + p +
               ".y * uBumpMatrix[" + p + "].z,\n                    bump" + p + ".x * uBumpMatrix[" + p + "].y + bump" +
               p + ".y * uBumpMatrix[" + p + "].w);\n";
    }
    out += "    vec4 tex" + n + " = texture(uTexture" + n + ", tc" + n + ".xy);\n";
    if (s > 0 && key.stages[s - 1].colorOp == D3DTOP_BUMPENVMAPLUMINANCE)
        out += "    tex" + n + ".rgb *= luminance" + Num(s - 1) + ";\n";
}

void EmitStage(const FfpKey& key, int s, std::string& out)
{
    const FfpStageKey& st = key.stages[s];
    std::string n = Num(s);
    out += "    // stage " + n + "\n";
    if (st.sampled)
        EmitStageSample(key, s, out);
    if (s > 0 && st.sampled) {
        const FfpStageKey& prev = key.stages[s - 1];
        if (prev.colorOp == D3DTOP_PREMODULATE)
            out += "    current.rgb *= tex" + n + ".rgb;\n";
        if (prev.alphaOp == D3DTOP_PREMODULATE)
            out += "    current.a *= tex" + n + ".a;\n";
    }
    if (IsBumpOp(st.colorOp)) {
        // du, dv (and luminance) for the next stage; no colour of its own.
        out += "    vec4 bump" + n + " = tex" + n + ";\n";
        if (st.colorOp == D3DTOP_BUMPENVMAPLUMINANCE)
            out += "    float luminance" + n + " = clamp(bump" + n + ".z * uBumpLuminance[" + n +
                   "].x + uBumpLuminance[" + n + "].y, 0.0, 1.0);\n";
        return;
    }
    std::string target = st.resultTemp ? "temp" : "current";
    out += "    " + target + " = clamp(vec4(" + OpExpr(st.colorOp, st.colorArg, s, ".rgb") + ",\n        " +
           OpExpr(st.alphaOp, st.alphaArg, s, ".a") + "), 0.0, 1.0);\n";
}

const char* AlphaCompare(int func)
{
    switch (func) {
    case D3DCMP_NEVER: return "false";
    case D3DCMP_LESS: return "alpha < ref";
    case D3DCMP_EQUAL: return "alpha == ref";
    case D3DCMP_LESSEQUAL: return "alpha <= ref";
    case D3DCMP_GREATER: return "alpha > ref";
    case D3DCMP_NOTEQUAL: return "alpha != ref";
    default: return "alpha >= ref";
    }
}

} // namespace

std::string FfpFragmentShaderSource(const FfpKey& key)
{
    std::string out = "#version 330 core\n";
    const char* interp = key.flatShade ? "flat " : "";
    out += std::string(interp) + "in vec4 vDiffuse;\n";
    out += std::string(interp) + "in vec4 vSpecular;\n";
    for (int s = 0; s < key.stageCount; ++s) {
        if (!key.stages[s].sampled)
            continue;
        out += "in vec4 vTex" + Num(s) + ";\n";
        out += "uniform sampler2D uTexture" + Num(s) + ";\n";
    }
    out += kPixelBlock;
    out += "layout(location = 0) out vec4 oColor;\n";
    out += "void main() {\n"
           "    vec4 diffuse = vDiffuse;\n"
           "    vec4 specular = vSpecular;\n"
           "    vec4 current = diffuse;\n";
    if (key.usesTemp)
        out += "    vec4 temp = vec4(0.0);\n";
    for (int s = 0; s < key.stageCount; ++s)
        EmitStage(key, s, out);
    if (key.specularAdd)
        out += "    current.rgb = min(current.rgb + specular.rgb, 1.0);\n";
    if (key.fogKind == kFfpFogTable) {
        std::string d = key.fogFromW ? "(1.0 / gl_FragCoord.w)" : "gl_FragCoord.z";
        out += "    float fog = clamp(" + FogFormula(key.tableFogMode, d) + ", 0.0, 1.0);\n";
    } else if (key.fogKind == kFfpFogVertex) {
        out += "    float fog = clamp(specular.a, 0.0, 1.0);\n";
    }
    if (key.fogKind != kFfpFogOff)
        out += "    current.rgb = mix(uFogColor.rgb, current.rgb, fog);\n";
    if (key.alphaFunc) {
        // Compared as 8-bit integers, like the hardware: equality is exact.
        out += "    int alpha = int(floor(current.a * 255.0 + 0.5));\n"
               "    int ref = int(uAlphaRef.x);\n";
        out += std::string("    if (!(") + AlphaCompare(key.alphaFunc) + ")) discard;\n";
    }
    out += "    oColor = current;\n}\n";
    return out;
}
