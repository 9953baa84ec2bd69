// The dialog system's life and the running dialog: construction, starting
// and ending dialogs, skipping and counting down sentences, the available
// topics and their quest-store group, speaker colours and speaker entities.
// The runner is in QmDialogRunner.cpp, the topics menu in QmDialogTopics.cpp,
// the content in QmDialogContent.cpp, the portrait in QmDialogPortrait.cpp.
#include "Source/GameClasses/QmDialogSystem.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Gui/GuiBoundFrames.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Platform/Win32/WinTime.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "Source/GameClasses/QmQuests.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kDialogSetName[] = "dialog_system";
const char kTopicsGroup[] = "$dialog_system_available_topics$";

uint32_t SystemTicks()
{
    return GetTickCount();
}

CQmLocation* CurrentLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

} // namespace

uint32_t (*CQmDialogSystem::tickSource)() = SystemTicks;
float CQmDialogSystem::actorCameraTranslation[3] = {0.0f, 0.0f, 0.0f};

CGeString QmDialogQuote(const CGeString& text)
{
    std::string out;
    for (const char* p = text.c_str(); *p; ++p) {
        switch (*p) {
        case '\\': out += "\\\\"; break;
        case '\'': out += "\\'"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += *p; break;
        }
    }
    return CGeString(out.c_str());
}

// The hero's entity: the owner of the hero's actor property, else the
// current location's entity of the hero's name.
CQmEntity* QmDialogHeroEntity()
{
    if (!g_gameProcessor)
        return nullptr;
    if (g_gameProcessor->hero)
        return static_cast<CQmProp*>(g_gameProcessor->hero)->owner;
    CQmLocation* location = CurrentLocation();
    return location && !g_gameProcessor->heroName.IsEmpty() ? location->FindEntity(g_gameProcessor->heroName.c_str())
                                                            : nullptr;
}

// The entity's sound source when it has a slot "speaker".
CQmPropSoundSource* QmDialogSpeakerSource(CQmEntity* entity)
{
    CQmPropSoundSource* source = entity ? entity->Prop<CQmPropSoundSource>(QM_PROP_SOUND_SOURCE) : nullptr;
    return source && source->FindSlot("speaker") ? source : nullptr;
}

CQmDialogSystem::CQmDialogSystem()
{
    // Registered with any sender and any type by the message client.
    colors.SetGrowStep(16);
    replicaCues.SetGrowStep(16);
    topicItems.SetGrowStep(16);
    CGuiResources::Load(g_dataRoot + "dialog_system/addon.xml", 1);
    if (g_guiManager) {
        if (CGuiControlSet* set = g_guiManager->CreateControlSet(kDialogSetName)) {
            char path[1024];
            std::snprintf(path, sizeof(path), "%sdialog_system/dialog_system.xml", g_dataRoot.c_str());
            CGuiBoundFrames::LoadCollection(path, g_guiManager->frameSets);
            set->LoadFromFile(CGeString(path));
        }
    }
    LoadContent("dialog_system/content");
    CreatePortrait();
}

CQmDialogSystem::~CQmDialogSystem()
{
    DestroyPortrait();
}

CGuiControl* CQmDialogSystem::Control(const char* controlName) const
{
    CGuiControlSet* set = g_guiManager ? g_guiManager->FindControlSet(kDialogSetName) : nullptr;
    return set ? set->FindControl(CGeString(controlName)) : nullptr;
}

CGuiTextControl* CQmDialogSystem::Replica(uint32_t index) const
{
    char name[16];
    std::snprintf(name, sizeof(name), "replica%02u", index);
    return dynamic_cast<CGuiTextControl*>(Control(name));
}

CGuiListBox* CQmDialogSystem::TopicsList() const
{
    return dynamic_cast<CGuiListBox*>(Control("topics"));
}

bool CQmDialogSystem::DialogSetIsCurrent() const
{
    return g_guiManager && g_guiManager->currentSet && g_guiManager->currentSet->name == kDialogSetName;
}

void CQmDialogSystem::ShowControl(const char* controlName, bool shown) const
{
    if (CGuiControl* control = Control(controlName))
        control->visible = shown ? 1 : 0;
}

bool CQmDialogSystem::ControlShown(const char* controlName) const
{
    CGuiControl* control = Control(controlName);
    return control && control->visible;
}

void CQmDialogSystem::TakeScreen()
{
    if (!g_guiManager || DialogSetIsCurrent())
        return;
    CGuiControlSet* set = g_guiManager->FindControlSet(kDialogSetName);
    if (!set)
        return;
    previousControlSet = g_guiManager->currentSet ? g_guiManager->currentSet->name : CGeString();
    g_guiManager->currentSet = set;
}

void CQmDialogSystem::FireLocationEvent(const char* suffix) const
{
    if (CQmLocation* location = CurrentLocation())
        ScriptCallFunction((location->name + suffix).c_str(), nullptr, 0, true);
}

void CQmDialogSystem::RunChunk(const CGeString& chunk) const
{
    CGeString error;
    if (!ScriptRunString(chunk.c_str(), error))
        GeTrace("Dialog: script error in '%s': %s", chunk.c_str(), error.c_str());
}

bool CQmDialogSystem::Condition(const CGeString& expression) const
{
    CGeString error;
    return ScriptEvalCondition(expression.c_str(), error);
}

void CQmDialogSystem::InitiateDialog(const char* conversationName, const char* startNode, const char* opponent)
{
    const CGeString start(startNode ? startNode : "");
    if (active && !topicsMode)
        EndDialog();
    if (start == "$end$")
        return;
    const bool toTopics = start == "$topics$";
    DialogConversation* conversation = FindConversation(CGeString(conversationName ? conversationName : ""));
    if (!toTopics && !conversation)
        return;
    if (toTopics) {
        if (!opponent || !*opponent)
            return;
        opponentName = opponent;
    } else {
        opponentName = conversation->opponent_name;
    }
    ++dialogSerial;
    AddPortraitLight();

    if (toTopics) {
        // The menu takes the screen as a conversation does, or it would take
        // every click unseen.
        TakeScreen();
        // Active before the menu opens: a menu left at once ends it again.
        active = true;
        OpenTopics();
        return;
    }

    currentConversation = conversation;
    if (conversation->nodes.IsEmpty())
        return;
    const DialogNode* node = conversation->FindNode(start);
    if (!node)
        node = &conversation->nodes[0];

    TakeScreen();
    const uint32_t serial = dialogSerial;
    FireLocationEvent("_on_topics_close");
    if (serial != dialogSerial)
        return;
    ShowControl("topics", false);
    ShowControl("dlg", true);
    ShowControl("self_monitor", true);
    AssignSpeakerColours();
    PrepareSpeakers();
    active = true;
    NextReplica(node->name);
}

void CQmDialogSystem::EndDialog()
{
    ++dialogSerial;
    actorCameraTranslation[0] = actorCameraTranslation[1] = actorCameraTranslation[2] = 0.0f;
    const DialogConversation* conversation = currentConversation;
    const DialogNode* node = currentNode;
    // The state is cleared before the event, so that a handler that starts
    // another dialog starts it from a clean slate.
    if (DialogSetIsCurrent()) {
        ClearReplicas();
        ClearTopicsList();
        ShowControl("dlg", false);
        ShowControl("self_monitor", false);
        ShowControl("topics", false);
        CGuiControlSet* previous = g_guiManager->FindControlSet(previousControlSet);
        g_guiManager->currentSet = previous;
    } else {
        currentConversation = nullptr;
        currentNode = nullptr;
        replicaCues.Clear();
    }
    active = false;
    topicsMode = false;
    sentenceTime = 0.0f;
    replicaControl = nullptr;
    lastSentence = false;
    StopVoice();
    for (uint32_t i = 0; i < kMaxSpeakers; ++i) {
        speakerEntities[i] = nullptr;
        for (uint32_t j = 0; j < kMaxDrawables; ++j)
            portraitDrawables[i][j] = nullptr;
    }
    RemovePortraitLight();
    if (conversation) {
        const CGeString nodeName = node ? node->name : CGeString();
        const CGeString actor = ResolveActorName(conversation, nodeName);
        RunChunk(CGeString("on_dialog_end('") + QmDialogQuote(conversation->name) + "', '" + QmDialogQuote(nodeName) + "', '" +
                 QmDialogQuote(actor) + "')");
    }
}

void CQmDialogSystem::SkipSentence()
{
    actorCameraTranslation[0] = actorCameraTranslation[1] = actorCameraTranslation[2] = 0.0f;
    if (!DialogSetIsCurrent() || !replicaControl)
        return;
    for (uint32_t i = 0; i < kReplicaCount; ++i)
        if (Replica(i) == replicaControl) {
            EndSentence(i);
            return;
        }
}

void CQmDialogSystem::Update()
{
    if (sentenceTime <= 0.0f)
        return;
    sentenceTime -= g_geTimer ? g_geTimer->delta : 0.0f;
    if (sentenceTime < 0.0f)
        sentenceTime = 0.0f;
    if (sentenceTime == 0.0f)
        SkipSentence();
}

// Available topics ------------------------------------------------------------

void CQmDialogSystem::AddAvailableTopic(const char* topic, bool state)
{
    if (!topic || !topics.Find(CGeString(topic)))
        return;
    const CGeString name(topic);
    if (auto* node = availableTopics.Find(name)) {
        node->value = state;
        return;
    }
    availableTopics[name] = state;
    CQmQuests::Pass(topic, kTopicsGroup, state ? 1 : 0);
}

void CQmDialogSystem::RemoveAvailableTopic(const char* topic)
{
    if (!topic)
        return;
    auto* node = availableTopics.Find(CGeString(topic));
    if (!node)
        return;
    availableTopics.Erase(node);
    CQmQuests::Fail(topic, kTopicsGroup);
}

int32_t CQmDialogSystem::GetTopicState(const char* topic) const
{
    auto* node = topic ? availableTopics.Find(CGeString(topic)) : nullptr;
    return node ? (node->value ? 2 : 1) : 0;
}

void CQmDialogSystem::RestoreAvailableTopics()
{
    availableTopics.Clear();
    auto* group = CQmQuests::s_groups.Find(CGeString(kTopicsGroup));
    if (!group)
        return;
    // A copy: adding writes into the same group.
    const CQmQuests::Table flags = group->value;
    for (auto* node = flags.first; node; node = flags.Next(node))
        AddAvailableTopic(node->key.c_str(), node->value != 0);
}

// Speakers ----------------------------------------------------------------------

CGeString CQmDialogSystem::ResolveActorName(const DialogConversation* conversation, const CGeString& nodeName) const
{
    const DialogNode* node = conversation ? conversation->FindNode(nodeName) : nullptr;
    if (!node || node->actor_name.IsEmpty())
        return "$self$";
    if (node->actor_name == "$opponent$") {
        if (!opponentName.IsEmpty())
            return opponentName;
        if (!conversation->opponent_name.IsEmpty())
            return conversation->opponent_name;
        return "$self$";
    }
    return node->actor_name;
}

CQmEntity* CQmDialogSystem::GetSpeakerEntity(const DialogConversation* conversation, const DialogNode* node) const
{
    const CGeString actor = ResolveActorName(conversation, node ? node->name : CGeString());
    CQmLocation* location = CurrentLocation();
    CQmEntity* entity = location ? location->FindEntity(actor.c_str()) : nullptr;
    if (QmDialogSpeakerSource(entity))
        return entity;
    return QmDialogHeroEntity();
}

CGeString CQmDialogSystem::NamedActor(const DialogConversation* conversation, const DialogNode& node) const
{
    CGeString actor = ResolveActorName(conversation, node.name);
    if (actor.IsEmpty())
        actor = !conversation->opponent_name.IsEmpty() ? conversation->opponent_name : CGeString("noname");
    return actor;
}

void CQmDialogSystem::AssignSpeakerColours()
{
    speakerColours.Clear();
    const uint32_t n = colors.Count() > 2 ? colors.Count() : 6;
    uint32_t others = 0;
    for (const DialogNode& node : currentConversation->nodes) {
        const CGeString actor = NamedActor(currentConversation, node);
        if (speakerColours.Find(actor))
            continue;
        uint32_t index;
        if (actor == "$self$")
            index = 0;
        else if (actor == "$think$")
            index = 1;
        else
            index = 2 + (others++ % (n - 2));
        speakerColours[actor] = index < colors.Count() ? colors[index] : 0xFFFFFFFF;
    }
}

void CQmDialogSystem::PrepareSpeakers()
{
    for (uint32_t i = 0; i < kMaxSpeakers; ++i) {
        speakerEntities[i] = nullptr;
        for (uint32_t j = 0; j < kMaxDrawables; ++j)
            portraitDrawables[i][j] = nullptr;
    }
    CGeStringMap<bool> actors;
    for (const DialogNode& node : currentConversation->nodes) {
        CGeString actor = NamedActor(currentConversation, node);
        if (actor == "$think$")
            actor = "$self$";
        actors[actor] = true;
    }
    CQmLocation* location = CurrentLocation();
    uint32_t count = 0;
    for (auto* a = actors.first; a && count < kMaxSpeakers; a = actors.Next(a)) {
        CQmEntity* entity = location ? location->FindEntity(a->key.c_str()) : nullptr;
        if (!QmDialogSpeakerSource(entity))
            entity = QmDialogHeroEntity();
        speakerEntities[count] = entity;
        CollectDrawables(entity, portraitDrawables[count]);
        ++count;
    }
}

void CQmDialogSystem::CollectDrawables(CQmEntity* entity, CQmEntity** drawables) const
{
    if (!entity || !entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT))
        return;
    uint32_t count = 0;
    drawables[count++] = entity;
    // Entities hung below the speaker's frame (held things, clothes).
    CQmLocation* location = CurrentLocation();
    if (!location)
        return;
    for (auto* e = location->entities.head; e && count < kMaxDrawables; e = e->next) {
        CQmEntity* other = e->value;
        if (other == entity || !other->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT))
            continue;
        for (const CGeFrame3D* f = other->frame.parent; f; f = f->parent)
            if (f == &entity->frame) {
                drawables[count++] = other;
                break;
            }
    }
}
