// The logo sequence before the first frame of the game: the pictures found
// beside the program, then the entries of "logo_config.xml", each picture
// fading in over its first second and out over its last; then the menu.
#include "Source/GameClasses/QmGameProcessor.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Platform/System/PosixFiles.h"
#include "Platform/Win32/WinShell.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmPictures.h"
#include "Source/GameClasses/QmSoundLink.h"
#include "Source/GameClasses/QmVideoPlayer.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

const uint32_t kMaxLocalLogos = 8;
const float kLocalLogoSeconds = 5.0f;

float Clamp01(float value)
{
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

bool EndsWithTga(const std::string& name)
{
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".tga") == 0;
}

// The header of an uncompressed 24- or 32-bit TGA: width and height; false
// for anything else.
bool ReadLogoHeader(const std::string& path, float* size)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    uint8_t header[18];
    const bool read = SysReadFully(fd, header, sizeof(header));
    close(fd);
    if (!read || (header[2] & 0x08) || (header[16] != 24 && header[16] != 32))
        return false;
    size[0] = (float)(header[12] | header[13] << 8);
    size[1] = (float)(header[14] | header[15] << 8);
    return true;
}

std::string ProgramFolder()
{
    char path[4096];
    if (GetModuleFileNameA(nullptr, path, sizeof(path)) == 0)
        return ".";
    std::string folder(path);
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos ? "." : folder.substr(0, slash);
}

void DrawLogoFrame(QmPicture* picture, CQmVideoPlayer* video)
{
    if (!g_pGmDevice)
        return;
    g_pGmDevice->BeginScene();
    g_pGmDevice->SetZEnable(0);
    if (picture)
        QmDrawPicture(picture);
    if (video && g_pGmDevice->GetDevice())
        video->Render();
    g_pGmDevice->EndScene();
    g_pGmDevice->Present();
    g_pGmDevice->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER, 0xFF000000, 1.0f);
}

} // namespace

void CQmGameProcessor::PlayLogos()
{
    AddLocalLogoPictures();
    TiXmlDocument document;
    TiXmlBase::SetCondenseWhiteSpace(false);
    XmlLoadDocument(g_dataRoot + "logo_config.xml", document);
    TiXmlElement* root = document.FirstChildElement("logos");
    if (!root)
        return;
    for (TiXmlElement* element = root->FirstChildElement("logo"); element;
         element = element->NextSiblingElement("logo")) {
        XmlHandle handle;
        handle.element = element;
        QmLogoEntry entry;
        const char* file = XmlGetText("file", handle);
        entry.file = file ? file : "";
        const Vec2 size = XmlGetVector2("size", handle);
        entry.size[0] = size.x;
        entry.size[1] = size.y;
        entry.time = XmlGetFloat("time", handle);
        entry.video = XmlGetBool("video", handle);
        const char* audio = XmlGetText("audiofilename", handle);
        entry.audioFile = audio ? audio : "";
        logos.PushBack(entry);
    }
    logoStarting = 1;
    logosPlaying = 1;
    while (g_pGmDevice && g_pGmDevice->m_running && logosPlaying)
        RunLogoSequence();
}

void CQmGameProcessor::AddLocalLogoPictures(const char* folder)
{
    const std::string directory = folder ? folder : ProgramFolder();
    std::vector<SysDirEntry> entries;
    if (!SysListDirectory(directory.c_str(), &entries))
        return;
    uint32_t found = 0;
    for (const SysDirEntry& entry : entries) {
        if (entry.isDirectory || !EndsWithTga(entry.name))
            continue;
        if (found++ == kMaxLocalLogos)
            break;
        const std::string path = directory + "/" + entry.name;
        QmLogoEntry logo;
        if (!ReadLogoHeader(path, logo.size))
            continue;
        logo.file = path.c_str();
        logo.time = -kLocalLogoSeconds;
        logos.PushBack(logo);
    }
}

bool CQmGameProcessor::RunLogoSequence()
{
    if (!logos.head) {
        SkipLogos();
        return false;
    }
    QmLogoEntry& entry = logos.head->value;
    if (logoStarting) {
        logoStarting = 0;
        if (entry.video) {
            delete logoVideo;
            logoVideo = new CQmVideoPlayer(entry.file.c_str(), true);
            logoVideo->SetSize((float)g_referenceScreenSize[0], (float)g_referenceScreenSize[1]);
            logoVideo->frame.SetPosition({0.0f, 0.0f, 0.0f});
            logoVideo->SetBlendMode(1);
            logoVideo->SetFrame(0);
            logoVideo->PlayAudioTrack(entry.audioFile.c_str());
        } else {
            const bool fromDisk = entry.time < 0.0f;
            if (fromDisk)
                entry.time = -entry.time;
            const CGeString path = fromDisk ? entry.file : g_dataRoot + entry.file.c_str();
            const float x = ((float)g_referenceScreenSize[0] - entry.size[0]) * 0.5f;
            const float y = ((float)g_referenceScreenSize[1] - entry.size[1]) * 0.5f;
            if (QmPicture* picture = QmMakePicture(path.c_str(), fromDisk, x, y, entry.size)) {
                QmDeletePicture(logoPicture);
                logoPicture = picture;
            }
        }
    }

    if (entry.video) {
        logoVideo->Update();
        if (!logoVideo->IsPlaying()) {
            // Its track ends with it, not under the next logo.
            logoVideo->Stop();
            logos.PopFront();
            logoStarting = 1;
            logoFadeIn = 0.0f;
        }
        DrawLogoFrame(nullptr, logoVideo);
    } else {
        const float frameTime = g_geTimer ? g_geTimer->delta : 0.0f;
        entry.time -= frameTime;
        logoFadeIn = Clamp01(logoFadeIn + frameTime);
        logoOpacity = (uint8_t)(255.0f * logoFadeIn * Clamp01(entry.time));
        if (entry.time <= 0.0f) {
            logos.PopFront();
            logoStarting = 1;
            logoFadeIn = 0.0f;
        }
        QmSetPictureAlpha(logoPicture, logoOpacity);
        QmUpdatePicture(logoPicture);
        DrawLogoFrame(logoPicture, nullptr);
    }

    TickTimerAndInput();
    ServiceAfterFrame();
    ++framesRendered;
    return true;
}

void CQmGameProcessor::SkipLogos()
{
    logosPlaying = 0;
    while (logos.head)
        logos.PopFront();
    QmDeletePicture(logoPicture);
    delete logoVideo;
    logoVideo = nullptr;
    OpenMenu(0);
}

void CQmGameProcessor::ServiceAfterFrame()
{
    PumpWindowMessages();
    QmSoundAfterFrame(CGeHub::s_cameras3d[CGeHub::s_currentSlot]);
}
