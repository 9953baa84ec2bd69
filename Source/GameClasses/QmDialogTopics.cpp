// The topics menu and the dialog's input: the available topics for which the
// opponent has a conversation, listed in the list box "topics" (a topic kept
// with state false is dimmed but may still be chosen), and the clicks, keys
// and moves that choose replies, skip sentences, pick topics and leave.
//
// The list's own clicks and moves reach the dispatcher from its inner text
// control; any control inside the list counts as the list. Nothing is taken
// while the game's input lock runs or while no dialog is active.
#include "Source/GameClasses/QmDialogSystem.h"

#include "Engine/Core/Common/GeValue.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Engine/Gui/GuiValues.h"
#include "Source/GameClasses/QmGameProcessor.h"

namespace {

const uint32_t kHoverColor = 0xFFD1DCFD;

const DialogConversation* ConversationFor(const DialogTopic& topic, const CGeString& opponent)
{
    for (auto* c = topic.conversations.first; c; c = topic.conversations.Next(c))
        if (c->value.opponent_name == opponent)
            return &c->value;
    return nullptr;
}

// The control lies in the list or is the list.
bool InsideList(const CGuiControl* control, const CGuiListBox* list)
{
    for (const CGuiControl* c = control; c; c = c->parent)
        if (c == list)
            return true;
    return false;
}

} // namespace

void CQmDialogSystem::OpenTopics()
{
    if (opponentName.IsEmpty()) {
        CloseTopicsMenu();
        return;
    }
    topicsMode = true;
    ShowControl("dlg", false);
    ShowControl("self_monitor", false);
    for (uint32_t i = 0; i < kReplicaCount; ++i)
        if (CGuiTextControl* replica = Replica(i))
            replica->visible = 0;

    topicItems.Clear();
    for (auto* a = availableTopics.first; a; a = availableTopics.Next(a)) {
        auto* topic = topics.Find(a->key);
        if (topic && ConversationFor(topic->value, opponentName)) {
            DialogTopicItem item;
            item.topic = a->key;
            item.state = a->value;
            topicItems.Add(item);
        }
    }
    ShowTopicItems();
}

void CQmDialogSystem::OpenTopicsAfterSentence(const DialogConversation* conversation)
{
    ShowControl("dlg", false);
    ShowControl("self_monitor", false);
    for (uint32_t i = 0; i < kReplicaCount; ++i)
        if (CGuiTextControl* replica = Replica(i))
            replica->visible = 0;
    for (uint32_t i = 0; i < topicItems.Count(); ++i)
        if (conversation && topicItems[i].topic == conversation->topic_name) {
            topicItems.RemoveAt(i);
            break;
        }
    ShowTopicItems();
}

void CQmDialogSystem::ShowTopicItems()
{
    if (topicItems.IsEmpty()) {
        CloseTopicsMenu();
        return;
    }
    CGeWString text;
    for (uint32_t i = 0; i < topicItems.Count(); ++i) {
        auto* topic = topics.Find(topicItems[i].topic);
        const CGeWString label = GetString(topic ? topic->value.string_name : CGeString()).text;
        if (i)
            text += CGeWString(u"\n");
        if (topicItems[i].state)
            text += label;
        else
            text += CGeWString(u"&0x70ffffff") + label + CGeWString(u"&c");
    }
    if (CGuiListBox* list = TopicsList()) {
        list->SetProperty(EP_Items, CGeValue(text), true);
        list->SetCurItem(-1);
        list->Layout();
    }
    ShowControl("topics", true);
    FireLocationEvent("_on_topics_open");
}

void CQmDialogSystem::CloseTopicsMenu()
{
    const uint32_t serial = dialogSerial;
    FireLocationEvent("_on_topics_close");
    if (serial != dialogSerial)
        return;
    if (opponentName.IsEmpty()) {
        EndDialog();
        return;
    }
    const DialogConversation* ending = nullptr;
    if (auto* topic = topics.Find(CGeString("$ending$")))
        ending = ConversationFor(topic->value, opponentName);
    if (ending)
        InitiateDialog(ending->name.c_str(), "", "");
    else
        EndDialog();
}

void CQmDialogSystem::ClearTopicsList()
{
    if (CGuiListBox* list = TopicsList()) {
        list->SetProperty(EP_Items, CGeValue(CGeWString()), true);
        list->SetCurItem(-1);
    }
}

void CQmDialogSystem::HandleMessage(CCiMessageClient* sender, uint32_t code)
{
    OnMessage(sender, code);
}

void CQmDialogSystem::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if ((g_gameProcessor && g_gameProcessor->IsTimerRunning()) || !active || !sender)
        return;
    const uint32_t category = sender->GetTypeId() >> 16;
    CGuiListBox* list = TopicsList();
    const bool topicsShown = ControlShown("topics");

    if (category == GE_KEYBOARD_CATEGORY) {
        if (code != 35)
            return;
        const uint32_t key = static_cast<CGeKeyboardState*>(sender)->lastReleasedKey;
        if (key == 32 && !topicsShown)
            SkipSentence();
        else if (key == 27 && topicsShown)
            CloseTopicsMenu();
        return;
    }

    if (code == 23 && (category == GE_MOUSE_CATEGORY || category == GUI_CONTROL_CATEGORY)) {
        const float x = g_mouse ? g_mouse->x : 0.0f;
        const float y = g_mouse ? g_mouse->y : 0.0f;
        if (list && topicsShown && list->textControl && list->IsPointInClientArea(x, y)) {
            float lx = 0.0f, ly = 0.0f;
            if (list->textControl->ScreenToLocal(x, y, &lx, &ly))
                list->SetCurItem(list->ItemFromPoint({lx, ly}));
        }
        if (sentenceTime == 0.0f)
            for (uint32_t i = 0; i < kReplicaCount; ++i)
                if (CGuiTextControl* replica = Replica(i)) {
                    const bool over = replica->visible && replica->IsPointInClientArea(x, y);
                    replica->SetProperty(EP_FontMaskColor, GuiMakeUInt(over ? kHoverColor : 0xFFFFFFFF), true);
                }
        return;
    }
    if (category != GUI_CONTROL_CATEGORY)
        return;
    CGuiControl* control = static_cast<CGuiControl*>(sender);
    CGuiControlSet* own = g_guiManager ? g_guiManager->FindControlSet(CGeString("dialog_system")) : nullptr;
    if (!own || control->ownerSet != own)
        return;

    if (code == 3) {
        if (control->name == "world") {
            if (ControlShown("dlg") && replicaControl)
                SkipSentence();
            return;
        }
        for (uint32_t i = 0; i < replicaCues.Count() && i < kReplicaCount; ++i)
            if (control == Replica(i)) {
                BeginSentence(i);
                return;
            }
        if (list && InsideList(control, list)) {
            if (!topicsShown || list->curItem < 0 || static_cast<uint32_t>(list->curItem) >= topicItems.Count())
                return;
            auto* topic = topics.Find(topicItems[list->curItem].topic);
            const DialogConversation* conversation = topic ? ConversationFor(topic->value, opponentName) : nullptr;
            if (conversation)
                InitiateDialog(conversation->name.c_str(), "", "");
            else
                EndDialog();
            return;
        }
        if (control->name == "exit" && topicsShown)
            CloseTopicsMenu();
        return;
    }
    if (code == 7 && control->name == "world" && topicsShown)
        CloseTopicsMenu();
}
