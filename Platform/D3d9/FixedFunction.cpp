// Program selection and uniform upload for the emulated fixed-function
// pipeline. Per draw the work is a few comparisons unless state changed: the
// key is rebuilt only when a state group that feeds it is dirty, the program is
// looked up only when the key differs from the last one, and a uniform block is
// uploaded only when its refilled image differs from what the GPU holds.
#include "Platform/D3d9/FixedFunction.h"

#include "Platform/D3d9/D3d9Glsl.h"
#include "Platform/D3d9/FixedFunctionCache.h"
#include "Platform/D3d9/FixedFunctionShader.h"
#include "Platform/D3d9/FixedFunctionUniforms.h"

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
#include <SDL.h>

#include <bitset>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct ProgramInfo {
    GLuint id;
    GLint positionFix;          // location of d3d_PositionFix
    uint64_t positionFixSerial; // value last uploaded to this program
};

class Pipeline {
public:
    Pipeline() : m_cache([this](const FfpKey& key) { return BuildProgram(key); }) {}

    bool Bind(D3d9State& state);
    void Release();
    FfpStats Stats() const { return {m_cache.Size(), m_cache.Hits(), m_cache.Misses(), m_keyBuilds}; }
    void SetOptions(const FfpOptions& options)
    {
        m_options = options;
        m_haveKey = false;
    }

private:
    void Init(D3d9State& state);
    uint32_t BuildProgram(const FfpKey& key);
    template <class Block>
    void UploadIfChanged(int binding, const Block& fresh, Block& mirror);
    void UploadPalette(const D3d9State& state);

    FfpProgramCache m_cache;
    FfpOptions m_options;
    bool m_initialized = false;
    GLuint m_buffers[5] = {};
    std::vector<ProgramInfo> m_programs; // the cache maps keys to index + 1

    FfpKey m_key{};
    bool m_haveKey = false;
    uint32_t m_current = 0;
    uint64_t m_keyBuilds = 0;
    uint64_t m_positionFixSerial = 1;

    FfpTransformBlock m_transform{};
    FfpLightingBlock m_lighting{};
    FfpPixelBlock m_pixel{};
    std::bitset<kFfpPaletteSize> m_worldPending;
    std::bitset<kFfpPaletteSize> m_normalPending;
};

void Pipeline::Init(D3d9State& state)
{
    static const GLsizeiptr kSizes[5] = {GLsizeiptr(kFfpPaletteSize * 16 * sizeof(float)),
                                         GLsizeiptr(kFfpPaletteSize * 12 * sizeof(float)), sizeof(FfpTransformBlock),
                                         sizeof(FfpLightingBlock), sizeof(FfpPixelBlock)};
    glGenBuffers(5, m_buffers);
    for (int i = 0; i < 5; ++i) {
        glBindBuffer(GL_UNIFORM_BUFFER, m_buffers[i]);
        glBufferData(GL_UNIFORM_BUFFER, kSizes[i], nullptr, GL_DYNAMIC_DRAW);
        glBindBufferBase(GL_UNIFORM_BUFFER, GLuint(i), m_buffers[i]);
    }
    // Force the first fill of every block: the mirrors start as NaN patterns
    // that no state can equal.
    std::memset(&m_transform, 0xFF, sizeof m_transform);
    std::memset(&m_lighting, 0xFF, sizeof m_lighting);
    std::memset(&m_pixel, 0xFF, sizeof m_pixel);
    m_worldPending.set();
    m_normalPending.set();
    state.dirty |= kD3d9DirtyAll;
    m_initialized = true;
}

uint32_t Pipeline::BuildProgram(const FfpKey& key)
{
    std::string error;
    GLuint id = FfpCompileProgram(key, &error);
    if (!id) {
        SDL_Log("fixed-function program cannot be built: %s", error.c_str());
        return 0;
    }
    for (int i = 0; i < 5; ++i) {
        GLuint index = glGetUniformBlockIndex(id, kFfpBlockNames[i]);
        if (index != GL_INVALID_INDEX)
            glUniformBlockBinding(id, index, GLuint(i));
    }
    glUseProgram(id);
    for (int s = 0; s < kFfpStageCount; ++s) {
        GLint sampler = glGetUniformLocation(id, ("uTexture" + std::to_string(s)).c_str());
        if (sampler >= 0)
            glUniform1i(sampler, s);
    }
    m_programs.push_back({id, glGetUniformLocation(id, "d3d_PositionFix"), 0});
    SDL_Log("fixed-function programs: %zu", m_programs.size());
    return uint32_t(m_programs.size());
}

template <class Block>
void Pipeline::UploadIfChanged(int binding, const Block& fresh, Block& mirror)
{
    if (std::memcmp(&fresh, &mirror, sizeof(Block)) == 0)
        return;
    mirror = fresh;
    glBindBuffer(GL_UNIFORM_BUFFER, m_buffers[binding]);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof(Block), &mirror);
}

// Uploads the world matrices (and their normal matrices) the current program
// can read and that changed since they were last sent.
void Pipeline::UploadPalette(const D3d9State& state)
{
    if (m_key.preTransformed)
        return;
    int reach = m_key.blendIndexed ? kFfpPaletteSize : FfpKeyPaletteReach(m_key);
    bool normals = FfpKeyNeedsNormals(m_key);
    for (int first = 0; first < reach;) {
        if (!m_worldPending[size_t(first)] && !(normals && m_normalPending[size_t(first)])) {
            ++first;
            continue;
        }
        int last = first;
        while (last + 1 < reach && (m_worldPending[size_t(last + 1)] || (normals && m_normalPending[size_t(last + 1)])))
            ++last;
        int count = last - first + 1;
        glBindBuffer(GL_UNIFORM_BUFFER, m_buffers[kFfpBlockPalette]);
        glBufferSubData(GL_UNIFORM_BUFFER, GLintptr(first) * 64, GLsizeiptr(count) * 64,
                        &state.transform[D3DTS_WORLDMATRIX(first)]);
        if (normals) {
            float matrices[kFfpPaletteSize][12];
            for (int i = 0; i < count; ++i)
                FfpNormalMatrix(state.transform[D3DTS_WORLDMATRIX(first + i)], matrices[i]);
            glBindBuffer(GL_UNIFORM_BUFFER, m_buffers[kFfpBlockNormalPalette]);
            glBufferSubData(GL_UNIFORM_BUFFER, GLintptr(first) * 48, GLsizeiptr(count) * 48, matrices);
        }
        for (int i = first; i <= last; ++i) {
            m_worldPending.reset(size_t(i));
            if (normals)
                m_normalPending.reset(size_t(i));
        }
        first = last + 1;
    }
}

bool Pipeline::Bind(D3d9State& state)
{
    if (!m_initialized)
        Init(state);
    uint32_t dirty = state.dirty;

    const uint32_t keyGroups =
        kD3d9DirtyRenderState | kD3d9DirtyStageState | kD3d9DirtyFvf | kD3d9DirtyTextures | kD3d9DirtyViewProjection;
    if (!m_haveKey || (dirty & keyGroups)) {
        FfpKey key = FfpBuildKey(state, m_options);
        ++m_keyBuilds;
        if (!m_haveKey || key != m_key) {
            m_key = key;
            m_haveKey = true;
            m_current = m_cache.Find(key);
        }
    }

    if (dirty & (kD3d9DirtyViewProjection | kD3d9DirtyTextureTransform | kD3d9DirtyRenderState)) {
        FfpTransformBlock block;
        FfpFillTransforms(state, block);
        UploadIfChanged(kFfpBlockTransform, block, m_transform);
    }
    if (dirty & (kD3d9DirtyMaterial | kD3d9DirtyLights | kD3d9DirtyRenderState | kD3d9DirtyViewProjection)) {
        FfpLightingBlock block;
        FfpFillLighting(state, block);
        UploadIfChanged(kFfpBlockLighting, block, m_lighting);
    }
    if (dirty & (kD3d9DirtyRenderState | kD3d9DirtyStageState)) {
        FfpPixelBlock block;
        FfpFillPixel(state, block);
        UploadIfChanged(kFfpBlockPixel, block, m_pixel);
    }
    if (dirty & kD3d9DirtyWorld) {
        for (UINT i = state.worldDirtyFirst; i <= state.worldDirtyLast && i < UINT(kFfpPaletteSize); ++i) {
            m_worldPending.set(i);
            m_normalPending.set(i);
        }
    }
    UploadPalette(state);
    if (dirty & kD3d9DirtyPositionFix)
        ++m_positionFixSerial;
    state.dirty = 0;

    if (m_current == 0)
        return false;
    ProgramInfo& program = m_programs[m_current - 1];
    glUseProgram(program.id);
    if (program.positionFixSerial != m_positionFixSerial) {
        glUniform4fv(program.positionFix, 2, &state.positionFix[0][0]);
        program.positionFixSerial = m_positionFixSerial;
    }
    return true;
}

void Pipeline::Release()
{
    if (!m_initialized)
        return;
    for (const ProgramInfo& program : m_programs)
        glDeleteProgram(program.id);
    glDeleteBuffers(5, m_buffers);
    m_programs.clear();
    m_cache.Clear();
    m_haveKey = false;
    m_current = 0;
    m_keyBuilds = 0;
    m_initialized = false;
}

// One pipeline per GL context: programs and buffers belong to the context
// that made them, and tests open and close devices one after another.
struct PipelineRegistry {
    std::unordered_map<SDL_GLContext, std::unique_ptr<Pipeline>> pipelines;
    SDL_GLContext lastContext = nullptr;
    Pipeline* last = nullptr;
    FfpOptions options;
};

PipelineRegistry& Registry()
{
    static PipelineRegistry registry;
    return registry;
}

Pipeline& CurrentPipeline()
{
    PipelineRegistry& r = Registry();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    if (r.last && context == r.lastContext)
        return *r.last;
    std::unique_ptr<Pipeline>& slot = r.pipelines[context];
    if (!slot) {
        slot.reset(new Pipeline());
        slot->SetOptions(r.options);
    }
    r.lastContext = context;
    r.last = slot.get();
    return *r.last;
}

} // namespace

uint32_t FfpCompileProgram(const FfpKey& key, std::string* error)
{
    std::string ignored;
    return D3d9LinkProgram(FfpVertexShaderSource(key), FfpFragmentShaderSource(key), error ? error : &ignored);
}

bool FfpBindProgram(D3d9State& state)
{
    return CurrentPipeline().Bind(state);
}

void FfpReleaseContext()
{
    PipelineRegistry& r = Registry();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    auto found = r.pipelines.find(context);
    if (found == r.pipelines.end())
        return;
    found->second->Release();
    r.pipelines.erase(found);
    r.last = nullptr;
    r.lastContext = nullptr;
}

FfpStats FfpGetStats()
{
    return CurrentPipeline().Stats();
}

void FfpSetOptions(const FfpOptions& options)
{
    PipelineRegistry& r = Registry();
    r.options = options;
    for (auto& entry : r.pipelines)
        entry.second->SetOptions(options);
}
