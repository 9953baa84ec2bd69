#include "Source/GameClasses/QmUnifiedCollector.h"

#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmEntityRemoval.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInvItemDesc.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"

#include <cstring>

namespace {

struct TrackEntry {
    CGeJointsKeySequence* track = nullptr;
    uint8_t holdsReference = 0;
};
using TrackList = CGeArray<TrackEntry>;

CGeMap<uintptr_t, TrackList>& Tracks()
{
    static CGeMap<uintptr_t, TrackList> tracks;
    return tracks;
}

// The first index whose name is not below name.
uint32_t LowerBound(const TrackList& list, const char* name)
{
    uint32_t low = 0, high = list.Count();
    while (low < high) {
        const uint32_t middle = (low + high) / 2;
        if (std::strcmp(list[middle].track->name.c_str(), name) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

CGeStringMap<CQmInvItemDesc*>& Items()
{
    static CGeStringMap<CQmInvItemDesc*> items;
    return items;
}

QmStringTable& GameStrings()
{
    static QmStringTable strings;
    return strings;
}

CGeStringMap<CQmEntity*>& Actors()
{
    static CGeStringMap<CQmEntity*> actors;
    return actors;
}

CGeStringMap<CQmOverlayDocument*>& Documents()
{
    static CGeStringMap<CQmOverlayDocument*> documents;
    return documents;
}

// Documents replaced under their name; they may still be on screen.
CGeArray<CQmOverlayDocument*>& RetiredDocuments()
{
    static CGeArray<CQmOverlayDocument*> retired;
    return retired;
}

XmlHandle Handle(const TiXmlElement* element)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    return handle;
}

void DeleteItem(CQmInvItemDesc* item)
{
    if (!item)
        return;
    delete item->sprite;
    delete item;
}

} // namespace

CGeString CQmUnifiedCollector::LoadJointsAnimTrack(const char* path, uintptr_t key)
{
    const CGeString fullPath = g_dataRoot + (path ? path : "");
    const CGeString name = GetPathBaseName(fullPath);
    auto* node = Tracks().Find(key);
    if (node) {
        const uint32_t at = LowerBound(node->value, name.c_str());
        if (at < node->value.Count() && node->value[at].track->name == name) {
            GeLog(2, "CQmUnifiedCollector::LoadJointsAnimTrack: Track %s is already exists! Ignored\n", name.c_str());
            return name;
        }
    }
    const bool loadedBefore = rescollect::FindAnimTrack(fullPath);
    auto* track = static_cast<CGeJointsKeySequence*>(rescollect::LoadAnimTrack(fullPath));
    if (!track)
        return CGeString();
    TrackEntry entry;
    entry.track = track;
    entry.holdsReference = loadedBefore ? 0 : 1;
    if (loadedBefore)
        track->Release();
    TrackList& list = Tracks()[key];
    const uint32_t at = LowerBound(list, track->name.c_str());
    list.InsertSlot(at);
    list[at] = entry;
    return track->name;
}

CGeJointsKeySequence* CQmUnifiedCollector::GetJointsAnimTrack(uintptr_t key, const char* name)
{
    auto* node = Tracks().Find(key);
    if (!node) {
        GeLog(2, "CQmUnifiedCollector::GetJointsAnimTrack: No entity found: %llx!\n", (unsigned long long)key);
        return nullptr;
    }
    const char* wanted = name ? name : "";
    if (!node->value.Count()) {
        GeLog(2,
              "CQmUnifiedCollector::GetJointsAnimTrack: No joints animation track named \"%s \" found for "
              "specified skelet %llx!\n",
              wanted, (unsigned long long)key);
        return nullptr;
    }
    const uint32_t at = LowerBound(node->value, wanted);
    if (at < node->value.Count() && std::strcmp(node->value[at].track->name.c_str(), wanted) == 0)
        return node->value[at].track;
    return nullptr;
}

uint32_t CQmUnifiedCollector::TrackCount(uintptr_t key)
{
    auto* node = Tracks().Find(key);
    return node ? node->value.Count() : 0;
}

void CQmUnifiedCollector::ClearTracks()
{
    auto& tracks = Tracks();
    for (auto* node = tracks.first; node; node = tracks.Next(node))
        for (TrackEntry& entry : node->value)
            if (entry.holdsReference)
                entry.track->Release();
    tracks.Clear();
}

void CQmUnifiedCollector::LoadStrings(const TiXmlDocument& document, QmStringTable& table)
{
    const TiXmlElement* root = document.RootElement();
    if (!root) {
        GeLog(2, "CQmUnifiedCollector::LoadStrings: empty root element!\n");
        return;
    }
    for (const TiXmlElement* string = root->FirstChildElement("string"); string;
         string = string->NextSiblingElement("string")) {
        const XmlHandle handle = Handle(string);
        const char* id = XmlGetText("id", handle);
        if (!id) {
            XmlReportMissing(string, "id");
            continue;
        }
        const CGeString key(id);
        if (table.Find(key))
            GeTrace("CQmUnifiedCollector::LoadStrings: duplicate string id %s\n", id);
        if (!XmlHasAttribute("str", handle))
            continue;
        table[key] = XmlGetWideText("str", handle);
    }
}

void CQmUnifiedCollector::LoadGameStrings()
{
    const CGeString path = g_dataRoot + "strings/game_strings.xml";
    TiXmlDocument document;
    if (!XmlLoadDocument(path, document)) {
        GeLog(2, "CQmUnifiedCollector::LoadGameStrings: cannot read %s\n", path.c_str());
        return;
    }
    LoadStrings(document, GameStrings());
}

const CGeWString& CQmUnifiedCollector::GetString(const char* id)
{
    static const CGeWString empty;
    const auto* node = GameStrings().Find(CGeString(id ? id : ""));
    return node ? node->value : empty;
}

void CQmUnifiedCollector::ClearStrings()
{
    GameStrings().Clear();
}

void CQmUnifiedCollector::LoadInventoryItems(const char* path)
{
    const CGeString filePath(path ? path : "");
    TiXmlDocument document;
    if (!XmlLoadDocument(filePath, document)) {
        GeLog(2, "CQmUnifiedCollector::LoadInventoryItems: cannot read %s\n", filePath.c_str());
        return;
    }
    const TiXmlElement* root = document.RootElement();
    if (!root || std::strcmp(root->Value(), "items_list") != 0) {
        GeLog(2, "CQmUnifiedCollector::LoadInventoryItems: no 'items_list' root in %s! No items loaded\n",
              filePath.c_str());
        return;
    }
    const char* stringList = XmlGetText("stringlist", Handle(root));
    if (!stringList) {
        XmlReportMissing(root, "stringlist");
        GeTrace("CQmUnifiedCollector::LoadInventoryItems: %s\n", filePath.c_str());
        return;
    }
    QmStringTable texts;
    {
        TiXmlDocument strings;
        if (XmlLoadDocument(g_dataRoot + stringList, strings))
            LoadStrings(strings, texts);
        else
            GeTrace("CQmUnifiedCollector::LoadInventoryItems: cannot read %s\n", stringList);
    }
    for (const TiXmlElement* element = root->FirstChildElement("inv_item"); element;
         element = element->NextSiblingElement("inv_item")) {
        const XmlHandle handle = Handle(element);
        const char* name = XmlGetText("name", handle);
        if (!name)
            continue;
        const char* stringId = XmlGetText("string_id", handle);
        if (!stringId) {
            XmlReportMissing(element, "string_id");
            continue;
        }
        const int32_t cursorType = XmlHasAttribute("cursor_type", handle) ? XmlGetInt("cursor_type", handle) : 1;
        const bool hasInitValue = XmlHasAttribute("init_value", handle);
        const int32_t initValue = hasInitValue ? XmlGetInt("init_value", handle) : 0;
        CGeWString text;
        if (const auto* entry = texts.Find(CGeString(stringId))) {
            text = entry->value;
        } else {
            GeTrace("CQmUnifiedCollector::LoadInventoryItems: no text for item %s\n", name);
            text = Utf8StringToWide(CGeString("Unknown description"));
        }
        CGmVisual2D* sprite = nullptr;
        if (const TiXmlElement* spriteElement = element->FirstChildElement("sprite2d"))
            sprite = LoadSprite(spriteElement, false);
        else
            GeTrace("CQmUnifiedCollector::LoadInventoryItems: no sprite for item %s\n", name);
        auto* item = new CQmInvItemDesc(CGeString(name), text, sprite);
        item->initValue = initValue;
        item->hasInitValue = hasInitValue;
        item->value = initValue;
        item->cursorType = cursorType;
        item->managedByScript = element->FirstChildElement("managed_by_script") != nullptr;
        CQmInvItemDesc*& slot = Items()[item->name];
        DeleteItem(slot);
        slot = item;
    }
}

CQmInvItemDesc* CQmUnifiedCollector::FindItem(const char* name)
{
    const auto* node = Items().Find(CGeString(name ? name : ""));
    return node ? node->value : nullptr;
}

uint32_t CQmUnifiedCollector::ItemCount()
{
    return Items().Count();
}

CQmEntity* CQmUnifiedCollector::LoadActor(const char* filePath, const char* name, bool global)
{
    const CGeString file(filePath ? filePath : "");
    const CGeString actorName = (name && *name) ? CGeString(name) : GetPathBaseName(file);
    CQmLocation* current = g_locationManager ? g_locationManager->current : nullptr;
    if (Actors().Find(actorName) || (current && current->FindEntity(actorName.c_str())))
        return nullptr;
    if (!global && !current) {
        GeLog(2, "CQmUnifiedCollector::LoadActor: no current location for actor %s! Actor is not loaded!\n",
              actorName.c_str());
        return nullptr;
    }
    TiXmlDocument document;
    const TiXmlElement* element = nullptr;
    if (XmlLoadDocument(g_dataRoot + file, document)) {
        element = document.FirstChildElement("entity");
        if (!element && document.RootElement())
            element = document.RootElement()->FirstChildElement("entity");
    }
    if (!element) {
        GeLog(2, "No 'entity' tag found in actor file '%s'! Actor is not loaded!\n", file.c_str());
        return nullptr;
    }
    CQmEntity* entity = LoadEntity(element, false, nullptr);
    if (!entity)
        return nullptr;
    if (CQmProp* visual = entity->GetProp(QM_PROP_VISUAL_OBJECT))
        visual->SetEnabled(false);
    if (!entity->GetProp(QM_PROP_ACTOR)) {
        auto* actor = new CQmPropActor(entity);
        actor->SetEnabled(true);
        entity->SetProp(QM_PROP_ACTOR, actor);
    }
    entity->name = actorName;
    if (global) {
        Actors()[actorName] = entity;
    } else if (!current->AddNamedObject(actorName, entity, false)) {
        delete entity;
        return nullptr;
    }
    return entity;
}

CQmEntity* CQmUnifiedCollector::FindActor(const char* name)
{
    const auto* node = Actors().Find(CGeString(name ? name : ""));
    return node ? node->value : nullptr;
}

void CQmUnifiedCollector::RemoveActor(const char* name)
{
    const CGeString actorName(name ? name : "");
    auto* node = Actors().Find(actorName);
    if (!node) {
        GeLog(2, "CQmunifiedCollector::RemoveActor - no actor with name %s found\n", actorName.c_str());
        return;
    }
    if (g_gameProcessor && g_gameProcessor->heroName == actorName) {
        // The text is Windows-1251 as the log has always carried it.
        GeLog(2,
              "CQmunifiedCollector::RemoveActor - \xef\xee\xef\xfb\xf2\xea\xe0 \xf3\xe4\xe0\xeb\xe5\xed\xe8\xff "
              "MainHero \xf1 \xe8\xec\xe5\xed\xe5\xec %s.\xcf\xf0\xe5\xf0\xe2\xe0\xed\xee. \n",
              actorName.c_str());
        return;
    }
    CQmEntity* entity = node->value;
    if (g_locationManager)
        g_locationManager->RemoveEntityEverywhere(actorName.c_str());
    Actors().Erase(node);
    QmDestroyEntity(entity);
}

void CQmUnifiedCollector::StoreDocument(const CGeString& name, CQmOverlayDocument* document)
{
    CQmOverlayDocument*& slot = Documents()[name];
    if (slot && slot != document)
        RetiredDocuments().Add(slot);
    slot = document;
}

CQmOverlayDocument* CQmUnifiedCollector::FindDocument(const char* name)
{
    const auto* node = Documents().Find(CGeString(name ? name : ""));
    return node ? node->value : nullptr;
}

void CQmUnifiedCollector::Clear()
{
    // The inventory lets the records go first: its cells carry their icons.
    if (g_inventory) {
        g_inventory->Unselect();
        g_inventory->Clear();
    }
    auto& items = Items();
    for (auto* node = items.first; node; node = items.Next(node))
        DeleteItem(node->value);
    items.Clear();

    auto& actors = Actors();
    for (auto* node = actors.first; node; node = actors.Next(node)) {
        if (g_locationManager) {
            auto& locations = g_locationManager->locations;
            for (auto* location = locations.first; location; location = locations.Next(location))
                if (location->value->FindEntity(node->key.c_str()) == node->value)
                    location->value->RemoveEntity(node->key.c_str());
        }
        delete node->value;
    }
    actors.Clear();

    // The game processor forgets a catalogue document it shows.
    const auto deleteDocument = [](CQmOverlayDocument* document) {
        if (g_gameProcessor && g_gameProcessor->document == document)
            g_gameProcessor->document = nullptr;
        delete document;
    };
    auto& documents = Documents();
    for (auto* node = documents.first; node; node = documents.Next(node))
        deleteDocument(node->value);
    documents.Clear();
    for (CQmOverlayDocument* document : RetiredDocuments())
        deleteDocument(document);
    RetiredDocuments().Clear();
}
