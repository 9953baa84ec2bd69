// The dialog system: conversations with characters, read once from the XML
// content files of "dialog_system/content/", played node by node in the
// replica controls of the control set "dialog_system", with the hero's
// replies and the topics of the topics menu chosen by the player.
//
// Content (QmDialogContent.cpp): string lists, topic sets, colour sets and
// conversation sets, each root kind adding to its store. The first definition
// of a string or a conversation wins, the last label of a topic wins. Nothing
// writes the records after loading apart from each cue's two counters. A file
// that cannot be read or parsed is skipped with a level-2 log line and the
// files after it are still read.
//
// The running dialog (QmDialogSystem.cpp, QmDialogRunner.cpp,
// QmDialogTopics.cpp): InitiateDialog takes the screen (the dialog's control
// set becomes current, the previous one comes back at the end), NextReplica
// shows a node's available cues, BeginSentence shows and voices one of them
// for a time counted down by Update (the text's length, or the voice's length
// read through a tick source that tests replace), EndSentence runs the cue's
// script chunk, its events and flag changers and follows its first link whose
// condition holds. The topics menu lists the available topics for which the
// opponent has a conversation.
//
// Script events are chunks with their names in single quotes; quotes,
// backslashes and line breaks in those names are escaped so that a name can
// never break or extend a chunk. Any event (a cue's on_exit, the sentence
// events, a condition) may end or restart the dialog: every step that fires
// one checks afterwards whether the dialog it worked on is still the running
// one, and stops when it is not.
//
// Available topics live in the quest store's group
// "$dialog_system_available_topics$" as 1 or 0: the value written when a
// topic is first added stays there (a second add only changes the state in
// the set), and RestoreAvailableTopics rebuilds the set from it after a new
// game or a loaded save.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GmText.h"

#include <cstdint>

class CGmPerspectiveCamera;
struct CGmLightDesc;
class CGuiControl;
class CGuiListBox;
class CGuiTextControl;
class CQmEntity;
class TiXmlElement;

struct DialogStringEntry {
    CGeString name;
    CGeWString text;
    CGeString file_name;
};

struct DialogVariant {
    CGeString string_name;
    float frequency = 1.0f;
};

struct DialogFlagChange {
    CGeString location_name;
    CGeString name;
    uint32_t clear = 0;
    int32_t value = 0;
};

struct DialogLink {
    CGeString target;
    CGeString condition;
};

struct DialogCue {
    uint32_t order = 0; // 0 random by weight, 1 in turn
    CGeString on_exit;
    CGeString appear_if;
    CGeArray<DialogVariant> variants;
    CGeArray<DialogFlagChange> flag_changers;
    CGeArray<DialogLink> links;
    int32_t next_variant = -1;
    int32_t chosen_variant = -1;
};

struct DialogNode {
    uint32_t color = 0xFFFFFFFF; // 0xFFFFFFFF: the speaker's colour
    CGeString name;
    CGeString actor_name;
    CGeArray<DialogCue> cues;
};

struct DialogConversation {
    CGeString topic_name;
    CGeString opponent_name;
    CGeString name;
    CGeArray<DialogNode> nodes;

    const DialogNode* FindNode(const CGeString& nodeName) const;
    DialogNode* FindNode(const CGeString& nodeName);
};

struct DialogTopic {
    CGeString topic_name;
    CGeString string_name;
    CGeStringMap<DialogConversation> conversations;
};

struct DialogTopicItem {
    CGeString topic;
    bool state = true;
};

class CQmDialogSystem : public CCiMessageClient {
public:
    static constexpr uint32_t kReplicaCount = 10;
    static constexpr uint32_t kMaxSpeakers = 5;
    static constexpr uint32_t kMaxDrawables = 8;

    // Registers with the dispatcher, loads "dialog_system/addon.xml", makes
    // the control set "dialog_system" from "dialog_system/dialog_system.xml",
    // reads the content and sets up the portrait camera and light. Services
    // that do not exist yet (no GUI manager, no device) are skipped.
    CQmDialogSystem();
    ~CQmDialogSystem() override;

    // Slot 1: the dispatcher's delivery.
    void HandleMessage(CCiMessageClient* sender, uint32_t code) override;
    // Slots 2 to 10.
    virtual void InitiateDialog(const char* conversation, const char* startNode, const char* opponent);
    virtual void EndDialog();
    virtual void SkipSentence();
    virtual bool IsActive() const { return active; }
    virtual bool IsLastSentence() const { return lastSentence; }
    virtual void Update();
    virtual void Draw();
    virtual void RestoreAvailableTopics();
    virtual bool IsDrawingPortrait() const { return drawingPortrait; }

    // Content.
    void LoadContent(const char* folder);
    void LoadStringList(TiXmlElement* root);
    void LoadTopicSet(TiXmlElement* root);
    void LoadColorSet(TiXmlElement* root);
    void LoadConversationSet(TiXmlElement* root);
    DialogStringEntry GetString(const CGeString& stringName) const;

    // Topics and look-ups.
    void AddAvailableTopic(const char* topic, bool state);
    void RemoveAvailableTopic(const char* topic);
    // 0 not available, 1 available with state false, 2 with state true.
    int32_t GetTopicState(const char* topic) const;
    DialogConversation* FindConversation(const CGeString& conversationName);
    CGeString ResolveActorName(const DialogConversation* conversation, const CGeString& nodeName) const;
    CQmEntity* GetSpeakerEntity(const DialogConversation* conversation, const DialogNode* node) const;

    // The conversation runner.
    void NextReplica(const CGeString& nodeName);
    void BeginSentence(uint32_t replica);
    void EndSentence(uint32_t replica);
    static uint32_t PickWeightedVariant(const float* weights, uint32_t count);
    static void WobbleThoughtText(const GmTextVertex* source, GmTextVertex* target, uint32_t glyphCount,
                                 float* phase);
    void ClearReplicas();

    // The topics menu.
    void OpenTopics();
    void OpenTopicsAfterSentence(const DialogConversation* conversation);
    void CloseTopicsMenu();
    void ClearTopicsList();
    void OnMessage(CCiMessageClient* sender, uint32_t code);

    // Controls by name (null when the document lacks them).
    CGuiControl* Control(const char* controlName) const;
    CGuiTextControl* Replica(uint32_t index) const;
    CGuiListBox* TopicsList() const;

    // The clock of voice timing: milliseconds, GetTickCount unless a test
    // puts its own here.
    static uint32_t (*tickSource)();
    // The portrait camera offset that "SetActorCameraTranslation" sets.
    static float actorCameraTranslation[3];

    CGeString previousControlSet;
    CGeStringMap<DialogStringEntry> strings;
    CGeStringMap<DialogTopic> topics;
    CGeArray<uint32_t> colors;
    bool active = false;
    bool drawingPortrait = false;
    CGeString opponentName;
    CGeStringMap<uint32_t> speakerColours;
    CGeArray<DialogCue*> replicaCues;
    DialogNode* currentNode = nullptr;
    DialogConversation* currentConversation = nullptr;
    CGeStringMap<bool> availableTopics;
    CGeArray<DialogTopicItem> topicItems;
    bool topicsMode = false;
    float sentenceTime = 0.0f;
    CGuiTextControl* replicaControl = nullptr;
    CQmEntity* speakerEntity = nullptr;
    bool lastSentence = false;
    CGeString voicePrefix;
    CQmEntity* speakerEntities[kMaxSpeakers] = {};
    CQmEntity* portraitDrawables[kMaxSpeakers][kMaxDrawables] = {};
    CGmPerspectiveCamera* portraitCamera = nullptr;
    int32_t portraitViewport[2] = {0, 0};
    float portraitViewportF[2] = {0.0f, 0.0f};
    // Left edge and vertical gap of the replicas, in reference pixels.
    int32_t replicaMargin = 10;

    // Counts the dialogs' starts and ends: a step that fired a script event
    // goes on only while the count is what it was before.
    uint32_t dialogSerial = 0;
    // The replica number the current sentence reported at its beginning.
    int32_t sentenceNumber = -1;
    // The panel's height as its document made it: the room the replicas are
    // centred in (a longer stack makes the panel taller for a while).
    float panelHeight = 0.0f;

    // The portrait's light description, owned (see QmDialogPortrait.cpp).
    CGmLightDesc* portraitLight = nullptr;
    bool portraitLightAdded = false;

private:
    bool DialogSetIsCurrent() const;
    void ShowControl(const char* controlName, bool shown) const;
    bool ControlShown(const char* controlName) const;
    // Makes "dialog_system" current, remembering the set it replaces.
    void TakeScreen();
    void FireLocationEvent(const char* suffix) const;
    void RunChunk(const CGeString& chunk) const;
    bool Condition(const CGeString& expression) const;
    // The sentence event with its four values.
    void SentenceEvent(const char* eventName, int32_t number);
    uint32_t SpeakerColour(const CGeString& actor) const;
    CGeString NamedActor(const DialogConversation* conversation, const DialogNode& node) const;
    void AssignSpeakerColours();
    void PrepareSpeakers();
    void CollectDrawables(CQmEntity* entity, CQmEntity** drawables) const;
    void FitPanel(uint32_t placed);
    // Steps 5 to 7 of opening the menu: the list text, the list shown, the
    // location's event; an empty list leaves the menu.
    void ShowTopicItems();
    void StopVoice();
    // The target of the cue's first link that holds ("$end$" when none);
    // false when a condition ended or restarted the dialog.
    bool ChooseTarget(const DialogCue& cue, uint32_t serial, CGeString& target);
    void ReadConversation(TiXmlElement* element);
    void CreatePortrait();
    void DestroyPortrait();
    void AddPortraitLight();
    void RemovePortraitLight();
    CQmEntity* SpeakerForDraw() const;
    void DrawPortraitOf(CQmEntity* speaker);
    bool colorSetSeen = false;
};

// The program's dialog system; null until start-up makes it.
extern CQmDialogSystem* g_dialogSystem;

// A text made safe to stand inside single quotes of a script chunk.
CGeString QmDialogQuote(const CGeString& text);
