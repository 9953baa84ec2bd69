#include "Source/GameClasses/QmHints.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GuiResources.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmScriptProcessor.h"

namespace {

const uint32_t kAlphaBlend = 5;
// The text sits this much above the picture's vertical centre line: the
// picture's lower part is its pointer.
const float kPointerHeight = 29.0f;

} // namespace

CQmHints::CQmHints()
{
    CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + "gui/pic/hint.tga");
    CGmImageSet images;
    images.Init(texture, 1, 1);
    picture = new CGmSprite(images);
    picture->SetBlendMode(kAlphaBlend);
    if (texture)
        texture->Release();

    text = new CGmText(CGuiResources::FindFont(CGeString("HINT_DIALOG")));
    text->blendMode = kAlphaBlend;
    text->UpdateColor();
    text->alignment = 2;
    text->dirty = 1;
    text->SetBoxSize(-4.0f, 22.0f);

    HideVisuals();
    LoadHintFile();
}

CQmHints::~CQmHints()
{
    delete text;
    delete picture;
}

void CQmHints::LoadHintFile()
{
    TiXmlDocument document;
    if (!XmlLoadDocument(g_dataRoot + "gui/hints.xml", document))
        return;
    TiXmlElement* root = document.FirstChildElement("hints");
    if (!root)
        return;
    for (TiXmlElement* element = root->FirstChildElement("hint"); element;
         element = element->NextSiblingElement("hint")) {
        XmlHandle handle;
        handle.reportMissing = 1;
        handle.element = element;
        const char* name = XmlGetText("name", handle);
        if (!name)
            continue;
        texts[CGeString(name)] = XmlGetWideText("text", handle);
    }
}

void CQmHints::HideVisuals()
{
    picture->visible = 0;
    text->visible = 0;
}

bool CQmHints::PictureShown() const
{
    return picture->visible != 0;
}

bool CQmHints::TextShown() const
{
    return text->visible != 0;
}

void CQmHints::Show(float x, float y, bool mirrored, uint8_t alpha, const char* name, float time, float delay)
{
    elapsed = 0.0f;
    showTime = time;
    disappearDelay = delay;

    picture->frame.SetPosition({x, y, 0.0f});
    picture->SetUVMode(mirrored ? 1 : 0);
    picture->SetAlpha(alpha);
    picture->visible = 1;

    current = texts.Find(CGeString(name ? name : ""));
    text->Layout(current ? current->value : CGeWString());
    const float textHeight = text->GetBounds().h;
    text->frame.SetPosition(
        {x + picture->size[0] * 0.5f, y + (picture->size[1] - kPointerHeight - textHeight) * 0.5f, 0.0f});
    text->visible = 1;

    Update(0.0f);
}

void CQmHints::Update(float frameTime)
{
    elapsed += frameTime;
    if (picture->visible) {
        picture->Update();
        text->Update();
        const uint8_t shown = elapsed < showTime ? 1 : 0;
        picture->visible = shown;
        text->visible = shown;
    }
    if (current && elapsed >= showTime + disappearDelay) {
        // The event may show the next hint: the state is cleared first.
        const CGeValue name(current->key);
        Hide();
        ScriptCallFunction("on_hint_disappear", &name, 1, true);
    }
}

void CQmHints::Hide()
{
    Reset();
    current = nullptr;
}

void CQmHints::Reset()
{
    elapsed = 0.0f;
    showTime = 0.0f;
    disappearDelay = 0.0f;
    HideVisuals();
}

void CQmHints::Render()
{
    if (picture->visible)
        picture->Render();
    if (text->visible)
        text->Render();
}
