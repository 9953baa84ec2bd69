// Save slots: a 200-byte header and four blocks, written by the parts that
// own the state (mini-game, quests, inventory, script variables), in the
// per-user folder's "save" folder as slot_<n>.s.
//
// Loading reads and checks the whole file before it touches the running
// game: a file too short for its header or its blocks, sizes that overflow,
// names without a terminator and damaged quest or variable blocks are refused
// as "unsupported format" and the game goes on as it was. Saving writes to a
// temporary file renamed over the slot, so a failed save keeps the old slot.
//
// The preview beside a slot ("slot_<n>.s.tga") is the location alone drawn
// into a 512 x 512 render target: the active camera and the 2D camera take
// that viewport for the picture, and the background rasterises its depth
// again at that size; afterwards both go back to the frame's viewport and
// the background rasterises its depth at the frame's size at the next frame.
// The frame's clear colour fills what the location leaves clear.
#include "Source/GameClasses/QmGameProcessor.h"

#include "Engine/Core/Common/GeDateTime.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Platform/Win32/WinShell.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmUserFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

const uint32_t kSaveVersion = 3;
// The preview picture's side in pixels, and the colour behind the location
// (the frame's clear colour).
const uint32_t kPreviewSize = 512;
const uint32_t kPreviewClearColor = 0xFF646464;

CGeString SlotPath(int32_t slot)
{
    return FormatString("%s/save/slot_%i.s", GetUserDataFolder(), (int)slot);
}

// Copies a name into a 64-byte field; false when it does not fit.
bool PutName(char* field, const CGeString& name)
{
    if (name.Length() >= 64)
        return false;
    memset(field, 0, 64);
    memcpy(field, name.c_str(), name.Length());
    return true;
}

bool Terminated(const char* field)
{
    return memchr(field, 0, 64) != nullptr;
}

// One block of the file: where it starts and its size.
struct SlotBlock {
    const uint8_t* data;
    uint32_t size;
};

// The blocks of a checked file, in file order.
struct SlotBlocks {
    SlotBlock arcade, quests, inventory, variables;
};

// True when the bytes hold a whole slot of this version with sound blocks.
bool CheckSlot(const uint8_t* bytes, uint32_t size, QmSaveHeader& header, SlotBlocks& blocks)
{
    if (size < sizeof(QmSaveHeader))
        return false;
    memcpy(&header, bytes, sizeof(header));
    if (memcmp(header.signature, "SAVE", 4) != 0 || header.version != kSaveVersion)
        return false;
    if (!Terminated(header.location) || !Terminated(header.arcade))
        return false;
    const uint64_t total = (uint64_t)header.arcadeSize + header.questSize + header.inventorySize + header.variableSize;
    if (total > size - sizeof(QmSaveHeader))
        return false;
    const uint8_t* at = bytes + sizeof(QmSaveHeader);
    blocks.arcade = {at, header.arcadeSize};
    at += header.arcadeSize;
    blocks.quests = {at, header.questSize};
    at += header.questSize;
    blocks.inventory = {at, header.inventorySize};
    at += header.inventorySize;
    blocks.variables = {at, header.variableSize};
    if (blocks.quests.size && !CQmQuests::CheckBlock(blocks.quests.data, blocks.quests.size))
        return false;
    if (blocks.variables.size && !CQmGameVars::CheckBlock(blocks.variables.data, blocks.variables.size))
        return false;
    return true;
}

// The file's creation time (its last change where the file system keeps no
// birth time), in UTC.
void FileDateUtc(const char* path, uint32_t* date)
{
    time_t when = 0;
    struct statx info;
    if (statx(AT_FDCWD, path, 0, STATX_BTIME | STATX_MTIME, &info) == 0)
        when = (info.stx_mask & STATX_BTIME) ? (time_t)info.stx_btime.tv_sec : (time_t)info.stx_mtime.tv_sec;
    const uint32_t seconds = (uint32_t)when;
    const GeCalendarTime parts = CGeDateTimeDecoder::ToLocalSystemTime(&seconds);
    const uint32_t words[7] = {parts.day, parts.month, parts.year, parts.hour, parts.minute, parts.second, 0};
    memcpy(date, words, sizeof(words));
}

} // namespace

void CQmGameProcessor::SaveGame(int32_t slot)
{
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    if (!location)
        return;
    QmSaveHeader header;
    memset(&header, 0, sizeof(header));
    memcpy(header.signature, "SAVE", 4);
    header.version = kSaveVersion;
    const uint32_t local = CGeDateTimeDecoder::Now() - (uint32_t)CGeDateTimeDecoder::Localtime();
    const GeCalendarTime date = CGeDateTimeDecoder::ToLocalSystemTime(&local);
    const uint32_t words[7] = {date.day, date.month, date.year, date.hour, date.minute, date.second, date.weekday};
    memcpy(header.date, words, sizeof(words));
    // Without a hero his place stays 0.
    if (hero) {
        const CGeFrame3D& frame = hero->owner->frame;
        header.heroPosition[0] = frame.position.x;
        header.heroPosition[1] = frame.position.y;
        header.heroPosition[2] = frame.position.z;
        header.heroAngle = frame.angles.y;
    }
    if (!PutName(header.location, location->name) || (currentArcade && !PutName(header.arcade, currentArcade->name))) {
        GeLog(1, "CQmGameProcessor::SaveGame: name too long for the slot: %s\n", location->name.c_str());
        return;
    }

    SlotBlock blocks[4] = {};
    uint8_t* arcadeData = nullptr;
    uint8_t* questData = nullptr;
    uint8_t* inventoryData = nullptr;
    uint8_t* variableData = nullptr;
    header.arcadeSize = currentArcade ? currentArcade->SaveState(&arcadeData) : 0;
    header.questSize = CQmQuests::Save(&questData);
    header.inventorySize = g_inventory ? g_inventory->Save(&inventoryData) : 0;
    header.variableSize = CQmGameVars::Save(&variableData);
    blocks[0] = {arcadeData, header.arcadeSize};
    blocks[1] = {questData, header.questSize};
    blocks[2] = {inventoryData, header.inventorySize};
    blocks[3] = {variableData, header.variableSize};

    uint32_t total = sizeof(header);
    for (const SlotBlock& block : blocks)
        total += block.data ? block.size : 0;
    uint8_t* file = static_cast<uint8_t*>(malloc(total));
    memcpy(file, &header, sizeof(header));
    uint32_t at = sizeof(header);
    for (const SlotBlock& block : blocks) {
        if (block.data && block.size) {
            memcpy(file + at, block.data, block.size);
            at += block.size;
        }
    }
    free(arcadeData);
    free(questData);
    free(inventoryData);
    free(variableData);

    const CGeString folder = FormatString("%s/save", GetUserDataFolder());
    CreateDirectoryA(folder.c_str(), nullptr);
    const CGeString path = SlotPath(slot);
    const bool written = QmReplaceFile(path.c_str(), file, total);
    free(file);
    if (!written) {
        GeLog(2, "CQmGameProcessor::SaveGame: unable to write %s!\n", path.c_str());
        return;
    }
    MakeSavePreview((path + ".tga").c_str());
}

void CQmGameProcessor::MakeSavePreview(const char* path)
{
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    CGmDeviceWrapper* wrapper = g_pGmDevice;
    if (!location || !path || !wrapper || !wrapper->GetDevice())
        return;
    auto* target = new CGmTexture;
    target->Create(kPreviewSize, kPreviewSize, GM_FMT_A8R8G8B8, true);
    if (g_pGmResourceManager)
        g_pGmResourceManager->Use(target, GE_RES_TEXTURE);
    else
        target->EnsureCreated();

    // The active camera and the 2D camera take the preview's viewport; the
    // background's depth is rasterised again at that size for the picture
    // and once more at the frame's size for the next frame.
    const uint32_t slot = CGeHub::s_currentSlot;
    CGmCamera* previousCamera = CGeHub::s_cameras3d[slot];
    GeViewport* previousOverride = CGeHub::s_viewportOverrides[slot];
    const GeViewport previousViewport = CGeHub::s_viewports[slot];
    if (CGmCamera* camera = location->ActiveCamera())
        CGeHub::s_cameras3d[slot] = camera;
    CQmBackGround* background = location->ActiveBackground();
    CGeHub::SetViewport(0, 0, kPreviewSize, kPreviewSize, 0.0f, 1.0f);
    hints.Update(0.0f);

    // The device's depth surface may be smaller than the picture: the
    // picture gets a depth surface of its own size.
    IDirect3DDevice9* device = wrapper->GetDevice();
    const D3DPRESENT_PARAMETERS& present = wrapper->m_presentParams;
    IDirect3DSurface9* depth = nullptr;
    if (FAILED(device->CreateDepthStencilSurface(kPreviewSize, kPreviewSize, present.AutoDepthStencilFormat,
                                                 D3DMULTISAMPLE_NONE, 0, FALSE, &depth, nullptr)))
        depth = nullptr;
    wrapper->SetRenderTarget(target);
    if (depth)
        device->SetDepthStencilSurface(depth);
    if (background) {
        background->ReleaseDepth();
        background->Create();
    }
    wrapper->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, kPreviewClearColor, 1.0f);
    const uint32_t mask = renderMask;
    renderMask = QM_RENDER_LOCATION;
    Render(false);
    renderMask = mask;
    wrapper->RestoreRenderTarget();
    if (depth)
        depth->Release();

    if (previousOverride)
        CGeHub::SetViewport(previousViewport.X, previousViewport.Y, previousViewport.Width, previousViewport.Height,
                            previousViewport.MinZ, previousViewport.MaxZ);
    else
        CGeHub::ResetViewport();
    CGeHub::s_cameras3d[slot] = previousCamera;
    if (background) {
        background->ReleaseDepth();
        background->Create();
    }
    hints.Update(0.0f);

    target->Upload();
    CaptureSurfaceToTga(target, CGeString(path));
    target->Release();
}

void CQmGameProcessor::LoadGame(int32_t slot)
{
    const CGeString path = SlotPath(slot);
    CGeFileData file = ReadWholeFile(path.c_str(), false);
    if (file.size == 0) {
        GeLog(2, "CQmGameProcessor::LoadGame: unable to load game %s!\n", path.c_str());
        FreeFileData(file);
        return;
    }
    QmSaveHeader header;
    SlotBlocks blocks;
    if (!CheckSlot(file.data, file.size, header, blocks)) {
        GeLog(1, "CQmGameProcessor::LoadGame: savegame '%s' is of unsupported format\n", path.c_str());
        FreeFileData(file);
        return;
    }

    if (currentArcade)
        currentArcade->Finish();
    StopHeroMotion();
    CQmDelayedCalls::Clear();
    ReplaceLoadingScreen(nullptr);

    if (g_inventory)
        g_inventory->Load(blocks.inventory.data, blocks.inventory.size);
    if (blocks.quests.size)
        CQmQuests::Load(blocks.quests.data, blocks.quests.size);
    else
        CQmQuests::Clear();
    if (blocks.variables.size)
        CQmGameVars::Load(blocks.variables.data, blocks.variables.size);
    else
        CQmGameVars::Clear();

    RequestLocationChange(header.location, "");
    DrawLoadingScreenNow();
    ChangeLocation();
    if (SetMainHero()) {
        StopHeroMotion();
        hero->owner->frame.SetPosition(Vec3{header.heroPosition[0], header.heroPosition[1], header.heroPosition[2]});
        hero->owner->frame.SetAngles(Vec3{0.0f, header.heroAngle, 0.0f});
    }
    if (g_dialogSystem)
        g_dialogSystem->RestoreAvailableTopics();
    FreeFileData(file);
}

QmSaveHeader& CQmGameProcessor::GetSavedData(QmSaveHeader& header, int32_t slot)
{
    memset(&header, 0, sizeof(header));
    const CGeString path = SlotPath(slot);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        GeLog(2, "CQmGameProcessor::GetSavedData: unable to load game %s!\n", path.c_str());
        return header;
    }
    const ssize_t got = read(fd, &header, sizeof(header));
    close(fd);
    if (got != (ssize_t)sizeof(header) || memcmp(header.signature, "SAVE", 4) != 0 || header.version != kSaveVersion) {
        GeLog(1, "CQmGameProcessor::GetSavedData: savegame '%s' is of unsuported version!\n", path.c_str());
        memset(&header, 0, sizeof(header));
        FileDateUtc(path.c_str(), header.date);
        return header;
    }
    // The names reach the slot list as texts: keep them terminated.
    header.location[63] = '\0';
    header.arcade[63] = '\0';
    return header;
}
