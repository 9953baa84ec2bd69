#include "Source/GameClasses/QmSprite.h"

#include "Engine/Core/Common/GeLog.h"

bool QmAddSpriteSequence(QmSpriteSequenceMap& map, const CGeString& name, QmSpriteSequence* record)
{
    if (map.Find(name)) {
        GeTrace("sprite sequence '%s' is already there: the first one stays", name.c_str());
        delete record;
        return false;
    }
    map.InsertNode(name, record);
    return true;
}

void QmClearSpriteSequences(QmSpriteSequenceMap& map)
{
    for (auto* node = map.first; node; node = map.Next(node))
        delete node->value;
    map.Clear();
}

QmSpriteSequenceMap* QmSpriteSequences(CGmVisualObject* visual)
{
    if (auto* sprite = dynamic_cast<CQmSprite*>(visual))
        return &sprite->sequences;
    if (auto* sprite = dynamic_cast<CQmAnimSprite*>(visual))
        return &sprite->sequences;
    return nullptr;
}
