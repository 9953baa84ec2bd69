#include "Engine/Gui/GuiPicture.h"

#include "Engine/Core/Gm/GeFrame3D.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GuiResources.h"

void GuiPictureDelete(CGmSprite*& sprite, CGeFrame3D& node)
{
    if (!sprite)
        return;
    CGeFrame3D::DetachChild(&sprite->frame, &node);
    delete sprite;
    sprite = nullptr;
}

bool GuiPictureSet(CGmSprite*& sprite, CGeString& storedName, const CGeString& schemaName, uint32_t blendMode,
                   CGeFrame3D& node)
{
    GuiPictureDelete(sprite, node);
    storedName = CGeString();
    if (schemaName.IsEmpty())
        return false;
    const CGmImageSet* schema = CGuiResources::FindSpriteSchema(schemaName);
    if (!schema)
        return false;
    sprite = new CGmSprite(*schema, 0);
    sprite->pixelSnapping = 1;
    sprite->SetBlendMode(blendMode);
    storedName = schemaName;
    node.AddChild(&sprite->frame);
    return true;
}

void GuiPictureRefresh(CGmSprite* sprite)
{
    if (!sprite)
        return;
    const uint32_t current = sprite->imageSet.currentFrame;
    sprite->SetFrame(current == CGmImageSet::kNoFrame ? 0 : current);
    sprite->ApplyImageSize();
}
