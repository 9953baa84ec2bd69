// Building the normalised fixed-function key from the device state.
//
// Decisions where Direct3D leaves the result undefined (kept in one place):
// - ALPHAOP DISABLE under an active COLOROP passes CURRENT's alpha through.
// - The colour-only operations (MODULATEALPHA_ADDCOLOR .. MODULATEINVCOLOR_ADDALPHA)
//   used as ALPHAOP evaluate the same formula on the alpha components.
// - DOTPRODUCT3 as COLOROP writes its result to alpha as well (Direct3D's own
//   description: the sum is replicated to all channels, alpha included).
// - ALPHAREPLICATE on an alpha argument changes nothing and is dropped.
// - VERTEXBLEND values 4..254 act as 3WEIGHTS; TWEENING is not emulated and acts
//   as DISABLE.
#include "Platform/D3d9/FixedFunctionKey.h"

#include <cstring>

namespace {

// Which arguments an operation reads: bit 0 ARG0, bit 1 ARG1, bit 2 ARG2.
constexpr unsigned kArg0 = 1, kArg1 = 2, kArg2 = 4;

unsigned OpArgs(DWORD op)
{
    switch (op) {
    case D3DTOP_SELECTARG1:
    case D3DTOP_PREMODULATE: return kArg1;
    case D3DTOP_SELECTARG2: return kArg2;
    case D3DTOP_BUMPENVMAP:
    case D3DTOP_BUMPENVMAPLUMINANCE:
    case D3DTOP_DISABLE: return 0;
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP: return kArg0 | kArg1 | kArg2;
    default: return kArg1 | kArg2;
    }
}

// Operations that read the stage's texture without naming it as an argument.
bool OpReadsTexture(DWORD op)
{
    return op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM || op == D3DTOP_BUMPENVMAP ||
           op == D3DTOP_BUMPENVMAPLUMINANCE;
}

bool IsBump(DWORD op)
{
    return op == D3DTOP_BUMPENVMAP || op == D3DTOP_BUMPENVMAPLUMINANCE;
}

bool ValidOp(DWORD op)
{
    return op >= D3DTOP_DISABLE && op <= D3DTOP_LERP;
}

uint8_t NormalizeArg(DWORD arg, int stage, bool alpha)
{
    DWORD select = arg & D3DTA_SELECTMASK;
    DWORD modifiers = arg & (D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE);
    if (select > D3DTA_CONSTANT)
        select = D3DTA_CURRENT;
    if (stage == 0 && select == D3DTA_CURRENT)
        select = D3DTA_DIFFUSE;
    if (alpha)
        modifiers &= ~D3DTA_ALPHAREPLICATE;
    return uint8_t(select | modifiers);
}

// Reads the op's arguments into args[0..2] (zero when unread); SELECTARG2 is
// folded into SELECTARG1 so that both spellings give one key.
void NormalizeOp(DWORD op, const DWORD raw[3], int stage, bool alpha, uint8_t& outOp, uint8_t args[3])
{
    unsigned used = OpArgs(op);
    for (int i = 0; i < 3; ++i)
        args[i] = (used & (1u << i)) ? NormalizeArg(raw[i], stage, alpha) : 0;
    if (op == D3DTOP_SELECTARG2) {
        op = D3DTOP_SELECTARG1;
        args[1] = args[2];
        args[2] = 0;
    }
    outOp = uint8_t(op);
}

bool ArgsReadTexture(const uint8_t args[3])
{
    for (int i = 0; i < 3; ++i)
        if (args[i] != 0 && (args[i] & D3DTA_SELECTMASK) == D3DTA_TEXTURE)
            return true;
    return false;
}

bool ArgsReadTemp(const uint8_t args[3])
{
    for (int i = 0; i < 3; ++i)
        if ((args[i] & D3DTA_SELECTMASK) == D3DTA_TEMP)
            return true;
    return false;
}

bool ProjectionIsAffine(const D3DMATRIX& p)
{
    return p._14 == 0.0f && p._24 == 0.0f && p._34 == 0.0f && p._44 == 1.0f;
}

uint8_t FogMode(DWORD mode)
{
    return mode >= D3DFOG_EXP && mode <= D3DFOG_LINEAR ? uint8_t(mode) : 0;
}

void BuildVertexPart(const D3d9State& s, DWORD fvf, FfpKey& key)
{
    const DWORD* rs = s.renderState;
    key.preTransformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    key.hasDiffuse = (fvf & D3DFVF_DIFFUSE) != 0;
    key.hasSpecular = (fvf & D3DFVF_SPECULAR) != 0;
    key.flatShade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    if (key.preTransformed)
        return;

    key.hasNormal = (fvf & D3DFVF_NORMAL) != 0;
    key.lighting = rs[D3DRS_LIGHTING] != 0;
    key.litSpecular = key.lighting && rs[D3DRS_SPECULARENABLE] != 0;

    DWORD blend = rs[D3DRS_VERTEXBLEND];
    bool indexed = rs[D3DRS_INDEXEDVERTEXBLENDENABLE] != 0 && FfpHasBlendIndices(fvf);
    if (blend >= D3DVBF_1WEIGHTS && blend < D3DVBF_TWEENING) {
        key.blendWeights = uint8_t(blend > 3 ? 3 : blend);
        key.blendIndexed = indexed;
        int stream = FfpStreamWeightCount(fvf);
        key.streamWeights = uint8_t(stream < key.blendWeights ? stream : key.blendWeights);
    } else if (blend == D3DVBF_0WEIGHTS) {
        key.blendIndexed = indexed;
    }
}

void BuildFogPart(const D3d9State& s, FfpKey& key)
{
    const DWORD* rs = s.renderState;
    if (!rs[D3DRS_FOGENABLE])
        return;
    uint8_t table = FogMode(rs[D3DRS_FOGTABLEMODE]);
    if (table) {
        key.fogKind = kFfpFogTable;
        key.tableFogMode = table;
        key.fogFromW = !ProjectionIsAffine(s.transform[D3DTS_PROJECTION]);
        return;
    }
    key.fogKind = kFfpFogVertex;
    if (!key.preTransformed) {
        key.vertexFogMode = FogMode(rs[D3DRS_FOGVERTEXMODE]);
        key.rangeFog = key.vertexFogMode && rs[D3DRS_RANGEFOGENABLE];
    }
}

void BuildTexCoordPart(const D3d9State& s, int stage, const FfpKey& key, FfpStageKey& st)
{
    DWORD fvf = s.fvf;
    DWORD index = s.stageState[stage][D3DTSS_TEXCOORDINDEX];
    DWORD gen = index >> 16;
    DWORD set = index & 0xFFFF;
    int setCount = int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (key.preTransformed || gen > kFfpTexGenSphereMap)
        gen = kFfpTexGenPassThru;
    st.texGen = uint8_t(gen);

    DWORD flags = s.stageState[stage][D3DTSS_TEXTURETRANSFORMFLAGS];
    DWORD count = flags & 0xFF;
    bool projected = (flags & D3DTTFF_PROJECTED) != 0;
    if (count < 1 || count > 4)
        return; // DISABLE (or no count): coordinates as they are
    st.texProjected = projected;
    if (key.preTransformed) {
        // Transformed vertices keep their coordinates; only the division applies.
        if (projected)
            st.texCount = uint8_t(count);
        return;
    }
    st.texMatrix = 1;
    st.texCount = uint8_t(count);
    if (gen != kFfpTexGenPassThru)
        st.texSetSize = 3;
    // A set the vertex lacks reads as (0, 0): two coordinates.
    else
        st.texSetSize = uint8_t(int(set) < setCount ? FfpTexCoordSize(fvf, int(set)) : 2);
}

} // namespace

bool operator==(const FfpKey& a, const FfpKey& b)
{
    return std::memcmp(&a, &b, sizeof(FfpKey)) == 0;
}

size_t FfpKeyHash::operator()(const FfpKey& key) const
{
    // FNV-1a over the raw bytes; the key is zero-filled so padding is stable.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&key);
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof(FfpKey); ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return size_t(h);
}

int FfpStreamWeightCount(DWORD fvf)
{
    DWORD pos = fvf & D3DFVF_POSITION_MASK;
    if (pos < D3DFVF_XYZB1 || pos > D3DFVF_XYZB5)
        return 0;
    int betas = int(pos - D3DFVF_XYZRHW) / 2; // XYZB1 = 6 .. XYZB5 = 14
    if (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR))
        --betas;
    return betas > 4 ? 4 : betas;
}

bool FfpHasBlendIndices(DWORD fvf)
{
    DWORD pos = fvf & D3DFVF_POSITION_MASK;
    return pos >= D3DFVF_XYZB1 && pos <= D3DFVF_XYZB5 && (fvf & D3DFVF_LASTBETA_UBYTE4) != 0;
}

int FfpTexCoordSize(DWORD fvf, int set)
{
    static const int kSizes[4] = {2, 3, 4, 1};
    return kSizes[(fvf >> (16 + 2 * set)) & 3];
}

FfpKey FfpBuildKey(const D3d9State& s, const FfpOptions& options)
{
    FfpKey key;
    std::memset(&key, 0, sizeof key);
    const DWORD* rs = s.renderState;
    DWORD fvf = s.fvf;

    BuildVertexPart(s, fvf, key);

    bool premodulatePending = false;
    int count = 0;
    for (int stage = 0; stage < kFfpStageCount; ++stage) {
        const DWORD* tss = s.stageState[stage];
        DWORD colorOp = tss[D3DTSS_COLOROP];
        if (!ValidOp(colorOp) || colorOp == D3DTOP_DISABLE)
            break;
        DWORD alphaOp = tss[D3DTSS_ALPHAOP];
        DWORD colorRaw[3] = {tss[D3DTSS_COLORARG0], tss[D3DTSS_COLORARG1], tss[D3DTSS_COLORARG2]};
        DWORD alphaRaw[3] = {tss[D3DTSS_ALPHAARG0], tss[D3DTSS_ALPHAARG1], tss[D3DTSS_ALPHAARG2]};
        if (!ValidOp(alphaOp) || alphaOp == D3DTOP_DISABLE) {
            alphaOp = D3DTOP_SELECTARG1;
            alphaRaw[1] = D3DTA_CURRENT;
        }

        FfpStageKey& st = key.stages[stage];
        NormalizeOp(colorOp, colorRaw, stage, false, st.colorOp, st.colorArg);
        if (colorOp == D3DTOP_DOTPRODUCT3) {
            st.alphaOp = st.colorOp;
            std::memcpy(st.alphaArg, st.colorArg, sizeof st.alphaArg);
        } else if (IsBump(colorOp)) {
            st.alphaOp = 0; // a bump stage writes no colour of its own
        } else {
            NormalizeOp(alphaOp, alphaRaw, stage, alphaOp != D3DTOP_DOTPRODUCT3, st.alphaOp, st.alphaArg);
            if (IsBump(alphaOp))
                st.alphaOp = D3DTOP_SELECTARG1, st.alphaArg[1] = NormalizeArg(D3DTA_CURRENT, stage, true);
        }

        bool bound = s.textureFormat[stage] != D3DFMT_UNKNOWN;
        bool readsTexture = ArgsReadTexture(st.colorArg) || ArgsReadTexture(st.alphaArg) ||
                            OpReadsTexture(st.colorOp) || OpReadsTexture(st.alphaOp);
        if (readsTexture && !bound && options.skipStagesWithoutTexture) {
            st = FfpStageKey();
            break;
        }
        st.sampled = readsTexture || (premodulatePending && bound);
        premodulatePending = st.colorOp == D3DTOP_PREMODULATE || st.alphaOp == D3DTOP_PREMODULATE;

        st.resultTemp = (tss[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP && !IsBump(colorOp);
        if (st.resultTemp || ArgsReadTemp(st.colorArg) || ArgsReadTemp(st.alphaArg))
            key.usesTemp = 1;
        if (st.sampled)
            BuildTexCoordPart(s, stage, key, st);
        ++count;
    }
    key.stageCount = uint8_t(count);

    key.specularAdd = rs[D3DRS_SPECULARENABLE] && (key.litSpecular || (!key.lighting && key.hasSpecular));
    BuildFogPart(s, key);
    if (rs[D3DRS_ALPHATESTENABLE]) {
        DWORD func = rs[D3DRS_ALPHAFUNC];
        if (func >= D3DCMP_NEVER && func < D3DCMP_ALWAYS)
            key.alphaFunc = uint8_t(func);
    }
    return key;
}
