#include "Source/GameClasses/QmBackGround.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeErrorNames.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmGameProcessor.h"

#include <cmath>
#include <cstring>

int32_t g_backgroundDepthSurfaces = 0;

namespace {

const char* const kSourceFile = "..\\Source\\GameClasses\\CQmBackGround";
const float kNoGeometry = 1e20f;

bool IsPowerOfTwo(uint32_t n)
{
    return n && !(n & (n - 1));
}

uint32_t PowerOfTwoBelow(uint32_t n)
{
    uint32_t p = 1;
    while (p * 2 < n)
        p *= 2;
    return p;
}

// The camera's viewport size, else the back buffer's, else 0 x 0.
void TargetSize(const CGmCamera* camera, uint32_t& width, uint32_t& height)
{
    width = height = 0;
    if (camera && camera->currentViewport.Width && camera->currentViewport.Height) {
        width = camera->currentViewport.Width;
        height = camera->currentViewport.Height;
    } else if (g_pGmDevice) {
        width = g_pGmDevice->BackBufferWidth();
        height = g_pGmDevice->BackBufferHeight();
    }
}

// A picture as an image of our own, resampled to width x height (kept as it
// is for 0 x 0); null when it cannot be had. Colour pictures come through the
// collector; depth pictures are read and decoded here, so that a file that
// does not decode is missing rather than the collector's 1 by 1 stand-in.
CGmImage* LoadPicture(const char* path, uint32_t width, uint32_t height, bool floats)
{
    if (!path || !*path)
        return nullptr;
    if (floats) {
        CGeFileData file = LoadFileData(path, false);
        CGmImage* image = nullptr;
        if (file.size) {
            CGmTexture texture;
            if (texture.LoadFromFile(file, true))
                image = CQmBackGround::CopyPicture(texture, width, height, true);
        }
        FreeFileData(file);
        return image;
    }
    bool found = false;
    CGmTexture* texture = rescollect::LoadTexture(CGeString(path), true, &found);
    if (!texture)
        return nullptr;
    CGmImage* image = found ? CQmBackGround::CopyPicture(*texture, width, height, false) : nullptr;
    texture->Release();
    return image;
}

void Report(const char* text, HRESULT result, int line)
{
    GeErrorReport(FormatString(text, kSourceFile, line, GetD3dErrorName(result)), CGeString(kSourceFile), line);
}

float FrameTime()
{
    return g_geTimer ? g_geTimer->delta : 0.0f;
}

} // namespace

CGmImage* CQmBackGround::CopyPicture(const CGmTexture& texture, uint32_t width, uint32_t height, bool floats)
{
    const CGmImage* source = texture.Image();
    if (!source || source->kind != GM_IMAGE_RAW || !source->data || !source->width || !source->height)
        return nullptr;
    const uint32_t bytes = GetFormatBytesPerPixel(source->format);
    if (floats && bytes != 4)
        return nullptr;
    auto* image = new CGmImage;
    bool copied = false;
    if (!width || !height || (source->width == width && source->height == height)) {
        copied = image->MakeRaw(source->width, source->height, source->format, source->pitch);
        if (copied)
            memcpy(image->data, source->data, source->RawBytes());
    } else {
        image->width = width;
        image->height = height;
        image->format = source->format;
        image->pitch = width * bytes;
        image->kind = GM_IMAGE_RAW;
        if (floats)
            copied = CGmImage::ScaleBilinearFloat(*image, *source);
        else if (bytes == 4)
            copied = CGmImage::ScaleBilinear(*image, *source);
        else
            copied = CGmImage::ScaleNearest(*image, *source);
    }
    if (!copied) {
        delete image;
        return nullptr;
    }
    return image;
}

void CQmBackGround::CutTiles(uint32_t width, uint32_t height, CGeArray<QmTileRect>& out)
{
    out.Clear();
    if (!width || !height)
        return;
    out.Add({0, 0, width, height});
    for (uint32_t i = 0; i < out.count;) {
        QmTileRect& r = out[i];
        if (IsPowerOfTwo(r.w)) {
            ++i;
            continue;
        }
        const uint32_t p = PowerOfTwoBelow(r.w);
        const QmTileRect rest = {r.x + p, r.y, r.w - p, r.h};
        r.w = p;
        out.Add(rest);
        i = 0;
    }
    for (uint32_t i = 0; i < out.count;) {
        QmTileRect& r = out[i];
        if (IsPowerOfTwo(r.h)) {
            ++i;
            continue;
        }
        const uint32_t p = PowerOfTwoBelow(r.h);
        const QmTileRect rest = {r.x, r.y + p, r.w, r.h - p};
        r.h = p;
        out.Add(rest);
        i = 0;
    }
}

void CQmBackGround::NearFarFromDepth(const CGmImage& picture, float& nearPlane, float& farPlane)
{
    // A near distance of 0 takes the nearest sample (starting from 0 would
    // keep it at 0 for any picture).
    float m = nearPlane != 0.0f ? nearPlane : 1e30f;
    float M = -1e30f;
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint8_t* row = picture.data + size_t(y) * picture.pitch;
        for (uint32_t x = 0; x < picture.width; ++x) {
            float d;
            memcpy(&d, row + x * 4, 4);
            if (d < m)
                m = d;
            if (d < kNoGeometry && d > M)
                M = d;
        }
    }
    if (nearPlane == 0.0f && m < 1e30f)
        nearPlane = m;
    if (farPlane == 0.0f)
        farPlane = M;
}

float CQmBackGround::ProjectedDepth(float d, float n, float f)
{
    if (d <= n)
        return 0.0f;
    if (d >= f)
        return 1.0f;
    return f * (d - n) / (d * (f - n));
}

CQmBackGround::CQmBackGround(const char* colourPath, const char* depthPath, const char* pickingPath,
                             CGmCamera* groupCamera)
    : camera(groupCamera)
{
    subTypeId = GE_RES_BACKGROUND;
    uint32_t width = 0, height = 0;
    TargetSize(camera, width, height);

    if (CGmImage* colour = LoadPicture(colourPath, width, height, false)) {
        CutTiles(colour->width, colour->height, tiles);
        const uint32_t bytes = GetFormatBytesPerPixel(colour->format);
        const uint32_t slot = CGeHub::s_currentSlot;
        const float sx = g_gm2dScale[slot][0];
        const float sy = g_gm2dScale[slot][1];
        for (const QmTileRect& r : tiles) {
            auto* texture = new CGmTexture;
            texture->Create(r.w, r.h, colour->format, false);
            uint32_t pitch = 0;
            if (uint8_t* pixels = texture->GetFrameImage(&pitch)) {
                for (uint32_t y = 0; y < r.h; ++y)
                    memcpy(pixels + size_t(y) * pitch, colour->data + size_t(r.y + y) * colour->pitch + r.x * bytes,
                           size_t(r.w) * bytes);
            }
            CGmImageSet set;
            set.Init(texture, 1, 1);
            auto* sprite = new CGmSprite(set);
            sprite->SetBlendMode(5);
            sprite->frame.SetPosition({r.x * sx, r.y * sy, 0.0f});
            sprite->SetSize(r.w * sx, r.h * sy);
            tileTextures.Add(texture);
            tileSprites.Add(sprite);
        }
        delete colour;
    }

    depth = LoadPicture(depthPath, width, height, true);
    if (depth && camera && (camera->nearPlane == 0.0f || camera->farPlane == 0.0f))
        NearFarFromDepth(*depth, camera->nearPlane, camera->farPlane);
    picking = LoadPicture(pickingPath, width, height, true);
}

CQmBackGround::~CQmBackGround()
{
    UnregisterFromManager();
    ReleaseDepth();
    for (CGmSprite* sprite : tileSprites)
        delete sprite;
    for (CGmTexture* texture : tileTextures)
        texture->Release();
    for (CGeArray<CGmSprite*>* list : {&plainSprites, &lateSprites, &overlaySprites, &lateOverlaySprites})
        for (CGmSprite* sprite : *list)
            delete sprite;
    for (QmGlowRecord& glow : glows) {
        delete glow.sprite;
        delete glow.mask;
    }
    delete depth;
    delete picking;
}

bool CQmBackGround::Create()
{
    if (depthSurface)
        return true;
    if (!depth || !camera || !g_pGmDevice || !g_pGmDevice->GetDevice())
        return false;
    IDirect3DDevice9* device = g_pGmDevice->GetDevice();
    const D3DPRESENT_PARAMETERS& present = g_pGmDevice->m_presentParams;
    // The surface matches the depth surface it is copied into: the device's
    // own, or the one of a render target drawn now (the save preview).
    D3DSURFACE_DESC target = {};
    target.Width = present.BackBufferWidth;
    target.Height = present.BackBufferHeight;
    target.Format = present.AutoDepthStencilFormat;
    target.MultiSampleType = present.MultiSampleType;
    target.MultiSampleQuality = present.MultiSampleQuality;
    IDirect3DSurface9* current = nullptr;
    if (SUCCEEDED(device->GetDepthStencilSurface(&current)) && current) {
        D3DSURFACE_DESC desc;
        if (SUCCEEDED(current->GetDesc(&desc)))
            target = desc;
        current->Release();
    }
    HRESULT result = device->CreateDepthStencilSurface(target.Width, target.Height, target.Format,
                                                       target.MultiSampleType, target.MultiSampleQuality, FALSE,
                                                       &depthSurface, nullptr);
    if (FAILED(result) || !depthSurface) {
        GeLog(2, "CQmBackGround: CreateDepthStencilSurface failed:%s\n", GetD3dErrorName(result));
        depthSurface = nullptr;
        return false;
    }
    ++g_backgroundDepthSurfaces;

    if (camera->viewMode == 1)
        camera->UpdateView();
    camera->frame.UpdateWorldMatrix();
    MatrixInverse(camera->frame.world, camera->view);
    camera->UpdateProjection();

    uint32_t width = 0, height = 0;
    TargetSize(CGeHub::s_cameras3d[CGeHub::s_currentSlot], width, height);
    if (!width || !height) {
        width = depth->width;
        height = depth->height;
    }
    CGmImage stretched;
    const CGmImage* picture = depth;
    if (width != depth->width || height != depth->height) {
        stretched.width = width;
        stretched.height = height;
        stretched.format = depth->format;
        stretched.pitch = width * 4;
        stretched.kind = GM_IMAGE_RAW;
        if (CGmImage::Stretch(stretched, *depth))
            picture = &stretched;
    }

    IDirect3DSurface9* original = nullptr;
    result = device->GetDepthStencilSurface(&original);
    if (FAILED(result))
        Report("CGmHub::devWrapper->GetDevice()->GetDepthStencilSurface(&originalDepthBuffer) failed: (file %s, %i) "
               "Error: %s\n",
               result, __LINE__);
    result = device->SetDepthStencilSurface(depthSurface);
    if (FAILED(result))
        Report("CGmHub::devWrapper->GetDevice()->SetDepthStencilSurface(m_backgroundDepthSurface) failed: (file %s, "
               "%i) Error: %s\n",
               result, __LINE__);
    DrawDepthGrid(*picture);
    result = device->SetDepthStencilSurface(original);
    if (FAILED(result))
        Report("CGmHub::devWrapper->GetDevice()->SetDepthStencilSurface(originalDepthBuffer) failed: (file %s, %i) "
               "Error: %s\n",
               result, __LINE__);
    if (original)
        original->Release();
    return true;
}

void CQmBackGround::DrawDepthGrid(const CGmImage& picture)
{
    CGmDeviceWrapper* wrapper = g_pGmDevice;
    IDirect3DDevice9* device = wrapper->GetDevice();
    const uint32_t w = picture.width;
    const uint32_t h = picture.height;
    wrapper->SetZEnable(1);
    wrapper->SetZWriteEnable(1);
    wrapper->SetStencilEnable(1);
    wrapper->Clear(GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, 0, 1.0f);
    if (w < 2 || h < 2)
        return;

    struct Vertex {
        float x, y, z, rhw;
        uint32_t colour;
    };
    const uint32_t flags = 0x103; // engine flags: transformed position, diffuse
    CGmVertexBuffer vertices(flags, w * h);
    auto* v = reinterpret_cast<Vertex*>(vertices.GetData());
    const float n = camera->nearPlane;
    const float f = camera->farPlane;
    for (uint32_t r = 0; r < h; ++r) {
        const uint8_t* row = picture.data + size_t(r) * picture.pitch;
        for (uint32_t c = 0; c < w; ++c) {
            float d;
            memcpy(&d, row + c * 4, 4);
            v[size_t(r) * w + c] = {float(c), float(r), ProjectedDepth(d, n, f), 1.0f, 0xFFFFFFFF};
        }
    }
    vertices.LockRange(0, w * h);
    vertices.Unlock();
    CGmIndexBuffer indices(2, (w - 1) * 6);
    auto* index = reinterpret_cast<uint16_t*>(indices.GetData());
    for (uint32_t k = 0; k + 1 < w; ++k) {
        index[k * 6 + 0] = uint16_t(k);
        index[k * 6 + 1] = uint16_t(k + 1);
        index[k * 6 + 2] = uint16_t(w + k);
        index[k * 6 + 3] = uint16_t(k + 1);
        index[k * 6 + 4] = uint16_t(w + k);
        index[k * 6 + 5] = uint16_t(w + k + 1);
    }
    indices.LockRange(0, (w - 1) * 6);
    indices.Unlock();

    camera->ApplyViewProjection(wrapper);
    wrapper->SetCullMode(2);
    device->SetPixelShader(nullptr);
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    // The grid's fragments must all reach the depth buffer: the alpha test a
    // sprite left on, with the alpha of the texture it left in stage 0, would
    // drop them. The previous values come back after the grid.
    DWORD alphaTest = FALSE, alphaOp = D3DTOP_SELECTARG1, alphaArg = D3DTA_DIFFUSE;
    device->GetRenderState(D3DRS_ALPHATESTENABLE, &alphaTest);
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &alphaArg);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    wrapper->BeginScene();
    vertices.Bind();
    indices.Bind();
    wrapper->SetFVF(flags);
    for (uint32_t r = 0; r + 1 < h; ++r)
        wrapper->DrawIndexedPrimitive(4, int32_t(w * r), 0, 2 * w, 0, 2 * w - 2);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg);
    wrapper->EndScene();
    wrapper->SetStreamSource(nullptr, 0);
    wrapper->SetIndices(nullptr);
}

void CQmBackGround::ReleaseDepth()
{
    if (!depthSurface)
        return;
    depthSurface->Release();
    depthSurface = nullptr;
    --g_backgroundDepthSurfaces;
}

void CQmBackGround::RestoreDepth()
{
    if (!depth || !g_pGmDevice || !g_pGmDevice->GetDevice())
        return;
    if (g_pGmResourceManager)
        g_pGmResourceManager->Use(this, GE_RES_BACKGROUND);
    else
        Create();
    if (!depthSurface)
        return;
    IDirect3DDevice9* device = g_pGmDevice->GetDevice();
    IDirect3DSurface9* current = nullptr;
    HRESULT result = device->GetDepthStencilSurface(&current);
    if (FAILED(result) || !current) {
        Report("CGmHub::devWrapper->GetDevice()->GetDepthStencilSurface(&originalDepthBuffer) failed: (file %s, %i) "
               "Error: %s\n",
               result, __LINE__);
        return;
    }
    device->StretchRect(depthSurface, nullptr, current, nullptr, D3DTEXF_NONE);
    current->Release();
}

void CQmBackGround::StepGlow(QmGlowRecord& record, bool over, float frameTime)
{
    if (over) {
        record.phase += frameTime;
        if (record.phase >= kGlowTime)
            record.phase = kGlowTime;
    } else {
        record.phase = record.phase - frameTime > 0.0f ? record.phase - frameTime : 0.0f;
    }
}

void CQmBackGround::DrawColour()
{
    // The cursor set stands at the mouse in the 2D view, the glow sprites' space.
    const bool haveCursor = g_cursors != nullptr;
    const float cursor[2] = {haveCursor ? g_cursors->position[0] : 0.0f, haveCursor ? g_cursors->position[1] : 0.0f};
    const bool locked = g_gameProcessor && g_gameProcessor->inputLockTime > 0.0f;
    for (QmGlowRecord& glow : glows) {
        bool over = false;
        if (haveCursor && !locked) {
            glow.sprite->frame.UpdateWorldMatrix();
            Matrix4 inverse = Matrix4::Identity();
            MatrixInverse(glow.sprite->frame.world, inverse);
            const Vec3 local = MatrixTransformPoint(
                inverse, {cursor[0], cursor[1], 0.0f});
            const float w = glow.sprite->size[0];
            const float h = glow.sprite->size[1];
            over = local.x >= 0.0f && local.x < w && local.y >= 0.0f && local.y < h;
            if (over && glow.mask) {
                const CGmImage& mask = *glow.mask;
                const uint32_t mx = uint32_t(local.x * mask.width / w);
                const uint32_t my = uint32_t(local.y * mask.height / h);
                over = mx < mask.width && my < mask.height &&
                       mask.data[size_t(my) * mask.pitch + mx * GetFormatBytesPerPixel(mask.format)] >= 2;
            }
        }
        StepGlow(glow, over, FrameTime());
        glow.sprite->Update();
    }
    if (g_pGmDevice)
        g_pGmDevice->SetZEnable(0);
    for (CGmSprite* sprite : tileSprites)
        sprite->Render();
    for (CGmSprite* sprite : plainSprites)
        sprite->Render();
    for (QmGlowRecord& glow : glows) {
        CGmSprite* sprite = glow.sprite;
        const bool list = sprite->imageSet.kind == CGmImageSet::KIND_LIST;
        const uint32_t a = uint32_t(glow.phase * 255.0f / kGlowTime);
        sprite->SetFrame(glow.phase >= kGlowTime ? 1 : 0);
        if (list)
            sprite->ApplyImageSize();
        sprite->SetAlpha(255);
        sprite->Render();
        if (glow.phase > 0.0f && glow.phase < kGlowTime) {
            sprite->SetFrame(1);
            if (list)
                sprite->ApplyImageSize();
            sprite->SetAlpha(uint8_t(a > 255 ? 255 : a));
            sprite->Render();
        }
    }
    if (g_pGmDevice)
        g_pGmDevice->SetZEnable(1);
    for (CGmSprite* sprite : lateSprites)
        sprite->Render();
}

void CQmBackGround::DrawOverlays()
{
    if (g_pGmDevice)
        g_pGmDevice->SetZEnable(0);
    for (CGmSprite* sprite : overlaySprites)
        sprite->Render();
    if (g_pGmDevice)
        g_pGmDevice->SetZEnable(1);
    for (CGmSprite* sprite : lateOverlaySprites)
        sprite->Render();
}

void CQmBackGround::DrawTiles()
{
    for (CGmSprite* sprite : tileSprites)
        sprite->Render();
}

bool CQmBackGround::Sample(float x, float y, float& value) const
{
    if (!picking || !(x >= 0.0f) || !(y >= 0.0f))
        return false;
    const uint32_t column = uint32_t(x);
    const uint32_t row = uint32_t(y);
    if (column >= picking->width || row >= picking->height)
        return false;
    memcpy(&value, picking->data + size_t(row) * picking->pitch + column * 4, 4);
    return true;
}

bool CQmBackGround::HitTest(float x, float y) const
{
    float d = 0.0f;
    if (!camera || !Sample(x, y, d))
        return false;
    return std::isnan(d) || std::fabs(d) <= camera->farPlane;
}

bool CQmBackGround::PickPoint(float x, float y, Vec3& point) const
{
    float d = 0.0f;
    if (!camera || !Sample(x, y, d))
        return false;
    const Vec3 dir = camera->ScreenToRay(x, y);
    const Matrix4& world = camera->frame.world;
    Vec3 forward = {world.m[2], world.m[6], world.m[10]};
    forward.Normalize();
    const float k = dir.x * forward.x + dir.y * forward.y + dir.z * forward.z;
    if (k == 0.0f)
        return false;
    const float t = d / k;
    point = {world.m[3] + dir.x * t, world.m[7] + dir.y * t, world.m[11] + dir.z * t};
    return true;
}
