// The draw path: vertex arrays from the FVF, textures and samplers per stage,
// the program for the current state, then the GL draw.
#include "Platform/D3d9/D3d9Device.h"

#include "Platform/D3d9/FixedFunction.h"

#include <cstring>

D3d9VertexLayout D3d9ParseFvf(DWORD fvf)
{
    D3d9VertexLayout layout;
    layout.fvf = fvf;
    UINT offset = 0;
    int betas = 0;
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position == D3DFVF_XYZRHW || position == D3DFVF_XYZW) {
        layout.positionSize = 4;
        offset = 16;
    } else if (position >= D3DFVF_XYZ && position <= D3DFVF_XYZB5 && !(position & 1)) {
        layout.positionSize = 3;
        offset = 12;
        if (position >= D3DFVF_XYZB1)
            betas = (int)(position - D3DFVF_XYZRHW) / 2;
    }
    layout.weightOffset = offset;
    layout.weightCount = betas;
    if (betas > 0 && (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR))) {
        layout.hasIndices = true;
        layout.weightCount = betas - 1;
        layout.indicesOffset = offset + 4 * (UINT)(betas - 1);
    }
    if (layout.weightCount > 4)
        layout.weightCount = 4;
    offset += 4 * (UINT)betas;
    if (fvf & D3DFVF_NORMAL) {
        layout.normalOffset = (int)offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        layout.pointSizeOffset = (int)offset;
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuseOffset = (int)offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specularOffset = (int)offset;
        offset += 4;
    }
    layout.texCount = (int)((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (layout.texCount > kD3d9StageCount)
        layout.texCount = kD3d9StageCount;
    static const GLint kSetFloats[4] = {2, 3, 4, 1};
    for (int i = 0; i < layout.texCount; ++i) {
        layout.texOffset[i] = offset;
        layout.texSize[i] = kSetFloats[(fvf >> (16 + 2 * i)) & 3];
        offset += 4 * (UINT)layout.texSize[i];
    }
    layout.stride = offset;
    return layout;
}

UINT D3d9VertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount)
{
    // Larger counts than the device reports in its caps are refused, which
    // also keeps the products below from overflowing.
    if (primitiveCount > kD3d9MaxPrimitiveCount)
        return 0;
    switch (type) {
    case D3DPT_POINTLIST: return primitiveCount;
    case D3DPT_LINELIST: return primitiveCount * 2;
    case D3DPT_LINESTRIP: return primitiveCount + 1;
    case D3DPT_TRIANGLELIST: return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitiveCount + 2;
    default: return 0;
    }
}

static GLenum GlPrimitive(D3DPRIMITIVETYPE type)
{
    static const GLenum kModes[] = {GL_POINTS, GL_LINES, GL_LINE_STRIP, GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
    return kModes[type - 1];
}

// ---------------------------------------------------------------------------
// Vertex arrays.

static void* Offset(UINT bytes)
{
    return (void*)(uintptr_t)bytes;
}

// Points the enabled attributes at a buffer. Which attributes are enabled
// (and the generic values of the others) changes only with the layout.
void D3d9Device::BindVertexArrays(GLuint vertexBuffer, UINT offset, UINT stride)
{
    const D3d9VertexLayout& l = m_layout;
    DWORD sets[kD3d9StageCount];
    for (int s = 0; s < kD3d9StageCount; ++s)
        sets[s] = m_state->stageState[s][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
    bool sameLayout = m_gl.arrayFvf == l.fvf && std::memcmp(sets, m_gl.arraySets, sizeof sets) == 0;
    if (sameLayout && m_gl.arrayBuffer == vertexBuffer && m_gl.arrayOffset == offset && m_gl.arrayStride == stride)
        return;

    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    GLsizei s = (GLsizei)stride;
    glVertexAttribPointer(kD3d9AttrPosition, l.positionSize, GL_FLOAT, GL_FALSE, s, Offset(offset));
    if (l.weightCount)
        glVertexAttribPointer(kD3d9AttrBlendWeight, l.weightCount, GL_FLOAT, GL_FALSE, s,
                              Offset(offset + l.weightOffset));
    if (l.hasIndices)
        glVertexAttribIPointer(kD3d9AttrBlendIndices, 4, GL_UNSIGNED_BYTE, s, Offset(offset + l.indicesOffset));
    if (l.normalOffset >= 0)
        glVertexAttribPointer(kD3d9AttrNormal, 3, GL_FLOAT, GL_FALSE, s, Offset(offset + (UINT)l.normalOffset));
    if (l.pointSizeOffset >= 0)
        glVertexAttribPointer(kD3d9AttrPointSize, 1, GL_FLOAT, GL_FALSE, s, Offset(offset + (UINT)l.pointSizeOffset));
    // D3DCOLOR is B, G, R, A in memory: GL's BGRA size reads it as RGBA.
    if (l.diffuseOffset >= 0)
        glVertexAttribPointer(kD3d9AttrDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s,
                              Offset(offset + (UINT)l.diffuseOffset));
    if (l.specularOffset >= 0)
        glVertexAttribPointer(kD3d9AttrSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s,
                              Offset(offset + (UINT)l.specularOffset));
    for (int stage = 0; stage < kD3d9StageCount; ++stage) {
        DWORD set = sets[stage];
        if ((int)set < l.texCount)
            glVertexAttribPointer(kD3d9AttrTexCoord0 + (GLuint)stage, l.texSize[set], GL_FLOAT, GL_FALSE, s,
                                  Offset(offset + l.texOffset[set]));
    }

    if (!sameLayout) {
        auto enable = [](GLuint location, bool on) {
            if (on)
                glEnableVertexAttribArray(location);
            else
                glDisableVertexAttribArray(location);
        };
        enable(kD3d9AttrPosition, l.positionSize != 0);
        enable(kD3d9AttrBlendWeight, l.weightCount != 0);
        enable(kD3d9AttrBlendIndices, l.hasIndices);
        enable(kD3d9AttrNormal, l.normalOffset >= 0);
        enable(kD3d9AttrPointSize, l.pointSizeOffset >= 0);
        enable(kD3d9AttrDiffuse, l.diffuseOffset >= 0);
        enable(kD3d9AttrSpecular, l.specularOffset >= 0);
        // What a vertex without the element reads: white diffuse, black
        // specular (so a missing specular adds nothing), (0, 0, 0, 1) else.
        glVertexAttrib4f(kD3d9AttrPosition, 0.0f, 0.0f, 0.0f, 1.0f);
        glVertexAttrib4f(kD3d9AttrBlendWeight, 0.0f, 0.0f, 0.0f, 0.0f);
        glVertexAttribI4ui(kD3d9AttrBlendIndices, 0, 0, 0, 0);
        glVertexAttrib4f(kD3d9AttrNormal, 0.0f, 0.0f, 0.0f, 1.0f);
        glVertexAttrib4f(kD3d9AttrPointSize, 1.0f, 0.0f, 0.0f, 1.0f);
        glVertexAttrib4f(kD3d9AttrDiffuse, 1.0f, 1.0f, 1.0f, 1.0f);
        glVertexAttrib4f(kD3d9AttrSpecular, 0.0f, 0.0f, 0.0f, 0.0f);
        for (int stage = 0; stage < kD3d9StageCount; ++stage) {
            GLuint location = kD3d9AttrTexCoord0 + (GLuint)stage;
            enable(location, (int)sets[stage] < l.texCount);
            glVertexAttrib4f(location, 0.0f, 0.0f, 0.0f, 1.0f);
        }
        m_gl.arrayFvf = l.fvf;
        std::memcpy(m_gl.arraySets, sets, sizeof sets);
    }
    m_gl.arrayBuffer = vertexBuffer;
    m_gl.arrayOffset = offset;
    m_gl.arrayStride = stride;
}

// ---------------------------------------------------------------------------
// Textures and samplers.

static GLenum AddressMode(DWORD mode, bool mirrorClamp)
{
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return mirrorClamp ? GL_MIRROR_CLAMP_TO_EDGE : GL_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

void D3d9Device::ApplySampler(int stage)
{
    const DWORD* ss = m_state->samplerState[stage];
    GLuint sampler = m_samplers[stage];
    bool linearMin = ss[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    GLenum minFilter;
    switch (ss[D3DSAMP_MIPFILTER]) {
    case D3DTEXF_NONE: minFilter = linearMin ? GL_LINEAR : GL_NEAREST; break;
    case D3DTEXF_POINT: minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
    default: minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
    }
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, (GLint)minFilter);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, ss[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, (GLint)AddressMode(ss[D3DSAMP_ADDRESSU], m_caps.mirrorClamp));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, (GLint)AddressMode(ss[D3DSAMP_ADDRESSV], m_caps.mirrorClamp));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, (GLint)AddressMode(ss[D3DSAMP_ADDRESSW], m_caps.mirrorClamp));
    D3DCOLOR border = ss[D3DSAMP_BORDERCOLOR];
    float borderColour[4] = {(float)((border >> 16) & 0xFF) / 255.0f, (float)((border >> 8) & 0xFF) / 255.0f,
                             (float)(border & 0xFF) / 255.0f, (float)(border >> 24) / 255.0f};
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, borderColour);
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, D3d9StateFloat(ss[D3DSAMP_MIPMAPLODBIAS]));
    // MAXMIPLEVEL names the largest level used.
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, (float)ss[D3DSAMP_MAXMIPLEVEL]);
}

void D3d9Device::BindTexturesAndSamplers()
{
    for (int s = 0; s < kD3d9StageCount; ++s) {
        GLuint texture = m_textures[s] ? m_textures[s]->GlTexture() : 0;
        if (m_gl.boundTexture[s] != texture) {
            glActiveTexture(GL_TEXTURE0 + (GLenum)s);
            glBindTexture(GL_TEXTURE_2D, texture);
            m_gl.boundTexture[s] = texture;
        }
    }
    if (m_gl.samplerDirty) {
        for (int s = 0; s < kD3d9StageCount; ++s)
            if (m_gl.samplerDirty & (1u << s))
                ApplySampler(s);
        m_gl.samplerDirty = 0;
    }
}

// ---------------------------------------------------------------------------
// Draws.

bool D3d9Device::PrepareDraw(GLuint vertexBuffer, UINT offset, UINT stride)
{
    // While the device is lost draws succeed and change nothing, as in Direct3D.
    if (m_lost)
        return false;
    if (!m_gl.vaoBound) {
        glBindVertexArray(m_vao);
        m_gl.vaoBound = true;
    }
    BindTargets();
    ApplyRasterState();
    ApplyViewport((m_layout.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW);
    BindVertexArrays(vertexBuffer, offset, stride);
    BindTexturesAndSamplers();
    // The program of the current state, with its uniforms brought up to date.
    return FfpBindProgram(*m_state);
}

HRESULT D3d9Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    UINT vertices = D3d9VertexCount(type, primitiveCount);
    if (!m_stream || type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN || !m_layout.positionSize ||
        primitiveCount > kD3d9MaxPrimitiveCount)
        return D3DERR_INVALIDCALL;
    if (vertices == 0)
        return D3D_OK;
    UINT stride = m_streamStride ? m_streamStride : m_layout.stride;
    uint64_t end = (uint64_t)m_streamOffset + ((uint64_t)startVertex + vertices - 1) * stride + m_layout.stride;
    if (end > m_stream->Data().Length())
        return D3DERR_INVALIDCALL;
    if (PrepareDraw(m_stream->Data().GlBuffer(), m_streamOffset, stride))
        glDrawArrays(GlPrimitive(type), (GLint)startVertex, (GLsizei)vertices);
    return D3D_OK;
}

HRESULT D3d9Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minIndex,
                                         UINT numVertices, UINT startIndex, UINT primitiveCount)
{
    UINT indices = D3d9VertexCount(type, primitiveCount);
    if (!m_stream || !m_indices || type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN || !m_layout.positionSize ||
        primitiveCount > kD3d9MaxPrimitiveCount)
        return D3DERR_INVALIDCALL;
    if (indices == 0 || numVertices == 0)
        return D3D_OK;
    UINT indexSize = m_indices->IndexSize();
    if (((uint64_t)startIndex + indices) * indexSize > m_indices->Data().Length())
        return D3DERR_INVALIDCALL;
    UINT stride = m_streamStride ? m_streamStride : m_layout.stride;
    int64_t lastVertex = (int64_t)baseVertexIndex + minIndex + numVertices - 1;
    if ((int64_t)baseVertexIndex + minIndex < 0 ||
        (uint64_t)m_streamOffset + (uint64_t)lastVertex * stride + m_layout.stride > m_stream->Data().Length())
        return D3DERR_INVALIDCALL;
    if (!PrepareDraw(m_stream->Data().GlBuffer(), m_streamOffset, stride))
        return D3D_OK;
    GLuint elements = m_indices->Data().GlBuffer();
    if (m_gl.elementBuffer != elements) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, elements);
        m_gl.elementBuffer = elements;
    }
    glDrawElementsBaseVertex(GlPrimitive(type), (GLsizei)indices, indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             Offset(startIndex * indexSize), baseVertexIndex);
    return D3D_OK;
}

HRESULT D3d9Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride)
{
    UINT count = D3d9VertexCount(type, primitiveCount);
    if (!vertices || type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN || !m_layout.positionSize || stride == 0 ||
        primitiveCount > kD3d9MaxPrimitiveCount)
        return D3DERR_INVALIDCALL;
    // Direct3D leaves stream 0 unset after a draw from memory.
    SetStreamSource(0, nullptr, 0, 0);
    if (count == 0)
        return D3D_OK;
    GLsizeiptr bytes = (GLsizeiptr)(count - 1) * stride + m_layout.stride;
    glBindBuffer(GL_ARRAY_BUFFER, m_upBuffer);
    if (bytes > m_upBufferSize)
        m_upBufferSize = bytes;
    glBufferData(GL_ARRAY_BUFFER, m_upBufferSize, nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices);
    m_gl.arrayBuffer = 0;  // re-point even when nothing else changed
    if (PrepareDraw(m_upBuffer, 0, stride))
        glDrawArrays(GlPrimitive(type), 0, (GLsizei)count);
    return D3D_OK;
}
