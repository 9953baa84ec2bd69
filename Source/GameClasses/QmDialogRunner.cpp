// The conversation runner: a node's available cues shown as replicas (the
// hero's as choices, another speaker's first one alone), the chosen sentence
// shown with the speaker's name and colour and voiced for a counted time, and
// at its end the cue's chunk, events, flag changers and first link that holds.
//
// Choices:
// - Every script event may end or restart the dialog; the step that fired
//   it compares the dialog counter afterwards and stops when it moved, so it
//   reads nothing a handler cleared.
// - Weights that are positive but all truncate to 0 (below 0.01) count 1
//   each, instead of dividing by a zero sum.
// - The end of a sentence clears the last-sentence flag before it follows
//   the link, so the flag of a sentence that the link begins stays true.
// - With no voice prefix, voice paths start at "sound/" (a path from the data
//   root, never one from the file system's root).
// - The speaker's name above a sentence comes from the speaking entity
//   whether or not its voice plays.
#include "Source/GameClasses/QmDialogSystem.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Common/GeWideFormat.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Engine/Gui/GuiValues.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "Source/GameClasses/QmQuests.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

CQmPropSoundSource* QmDialogSpeakerSource(CQmEntity* entity);

namespace {

const uint32_t kNameColor = 0xFF332518;
const float kReplicaGap = 10.0f;

bool VoiceFileExists(const CGeString& path)
{
    bool found = false;
    QueryFileSize((g_dataRoot + path).c_str(), found);
    return found;
}

CGeWString AsciiWide(const CGeString& text)
{
    std::u16string out;
    for (const char* p = text.c_str(); *p; ++p)
        out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return CGeWString(out.c_str());
}

CGeWString ColorTag(uint32_t color)
{
    char tag[16];
    std::snprintf(tag, sizeof(tag), "&0x%08X", color);
    return AsciiWide(CGeString(tag));
}

} // namespace

uint32_t CQmDialogSystem::SpeakerColour(const CGeString& actor) const
{
    auto* node = speakerColours.Find(actor);
    return node ? node->value : 0xFFFFFFFF;
}

void CQmDialogSystem::SentenceEvent(const char* eventName, int32_t number)
{
    const CGeString nodeName = currentNode ? currentNode->name : CGeString();
    const CGeString actor = ResolveActorName(currentConversation, nodeName);
    char numberText[16];
    std::snprintf(numberText, sizeof(numberText), "%d", number);
    RunChunk(CGeString(eventName) + "('" + QmDialogQuote(currentConversation->name) + "', '" +
             QmDialogQuote(nodeName) + "', " + numberText + ", '" + QmDialogQuote(actor) + "')");
}

void CQmDialogSystem::NextReplica(const CGeString& nodeName)
{
    DialogNode* node = currentConversation ? currentConversation->FindNode(nodeName) : nullptr;
    if (!node)
        return;
    const uint32_t serial = dialogSerial;
    currentNode = node;
    replicaCues.Clear();
    for (uint32_t i = 0; i < kReplicaCount; ++i)
        if (CGuiTextControl* replica = Replica(i))
            replica->visible = 0;

    const CGeString speaker = ResolveActorName(currentConversation, node->name);
    const bool hero = speaker == "$self$";
    const bool thought = speaker == "$think$";
    const uint32_t lineColor = node->color != 0xFFFFFFFF ? node->color : SpeakerColour(speaker);

    float y = 0.0f;
    if (CGuiControl* panel = Control("dlg"))
        if (panel->boundFrame)
            y = GuiFrameGetInsets(panel->boundFrame).top;
    for (DialogCue& cue : node->cues) {
        if (replicaCues.Count() >= kReplicaCount)
            break;
        if (!cue.appear_if.IsEmpty()) {
            const bool shown = Condition(cue.appear_if);
            if (serial != dialogSerial)
                return;
            if (!shown)
                continue;
        }
        if (!hero && !replicaCues.IsEmpty())
            break;

        const uint32_t variants = cue.variants.Count();
        int32_t chosen = 0;
        if (variants > 1) {
            if (cue.order == 1) {
                if (++cue.next_variant >= static_cast<int32_t>(variants))
                    cue.next_variant = 0;
                chosen = cue.next_variant;
            } else {
                std::vector<float> weights;
                for (const DialogVariant& v : cue.variants)
                    weights.push_back(v.frequency);
                chosen = static_cast<int32_t>(PickWeightedVariant(weights.data(), variants));
            }
        }
        cue.chosen_variant = chosen;

        const uint32_t index = replicaCues.Count();
        replicaCues.Add(&cue);
        CGuiTextControl* replica = Replica(index);
        if (!replica)
            continue;
        replica->visible = 1;
        replica->SetText(GetString(variants ? cue.variants[chosen].string_name : CGeString()).text);
        replica->SetProperty(EP_FontMaskColor, GuiMakeUInt(hero ? 0xFFFFFFFF : lineColor), true);
        replica->PlaceAt(static_cast<float>(replicaMargin), y);
        y += replica->height + kReplicaGap;
        if (replica->textVisual) {
            replica->textVisual->vertexHook = thought ? WobbleThoughtText : nullptr;
            replica->textVisual->dirty = 1;
        }
    }

    if (replicaCues.IsEmpty()) {
        EndDialog();
        return;
    }
    FitPanel(replicaCues.Count());
    CGuiTextControl* first = Replica(0);
    if (replicaCues.Count() == 1) {
        if (first) {
            first->SetProperty(EP_TextBiasX, GuiMakeFloat(0.0f), true);
            first->SetProperty(EP_TextBiasY, GuiMakeFloat(0.0f), true);
        }
        BeginSentence(0);
    } else if (first) {
        first->SetProperty(EP_TextBiasX, GuiMakeFloat(1.0f), true);
        first->SetProperty(EP_TextBiasY, GuiMakeFloat(1.0f), true);
    }
}

void CQmDialogSystem::FitPanel(uint32_t placed)
{
    CGuiControl* panel = Control("dlg");
    if (!panel)
        return;
    GuiFrameInsets insets = {0.0f, 0.0f, 0.0f, 0.0f};
    if (panel->boundFrame)
        insets = GuiFrameGetInsets(panel->boundFrame);
    if (panelHeight <= 0.0f)
        panelHeight = panel->height;

    std::vector<CGuiTextControl*> shown;
    for (uint32_t i = 0; i < kReplicaCount; ++i) {
        CGuiTextControl* replica = Replica(i);
        if (!replica)
            continue;
        if (i < placed && replica->visible)
            shown.push_back(replica);
        else
            replica->PlaceAt(10.0f, 10.0f);
    }
    if (shown.empty())
        return;
    const float top = shown.front()->Y();
    const float bottom = shown.back()->Y() + shown.back()->height;
    const float stack = bottom - top;
    const float room = panelHeight - insets.top - insets.bottom;
    if (stack > room) {
        panel->SetSize(panel->width, stack + insets.top + insets.bottom);
        return;
    }
    if (panel->height != panelHeight)
        panel->SetSize(panel->width, panelHeight);
    const float shift = static_cast<float>(static_cast<int32_t>(room - stack) / 2);
    for (CGuiTextControl* replica : shown)
        replica->PlaceAt(replica->X(), replica->Y() + shift);
}

void CQmDialogSystem::BeginSentence(uint32_t replica)
{
    if (sentenceTime != 0.0f) {
        EndSentence(replica);
        return;
    }
    if (replica >= replicaCues.Count() || !currentConversation || !currentNode)
        return;
    const uint32_t serial = dialogSerial;
    DialogCue* cue = replicaCues[replica];
    sentenceNumber = -1;
    for (const DialogCue& own : currentNode->cues)
        if (&own == cue)
            sentenceNumber = static_cast<int32_t>(replica);
    SentenceEvent("on_sentence_begin", sentenceNumber);
    if (serial != dialogSerial)
        return;

    const int32_t chosen = cue->chosen_variant >= 0 ? cue->chosen_variant : 0;
    const CGeString stringName =
        static_cast<uint32_t>(chosen) < cue->variants.Count() ? cue->variants[chosen].string_name : CGeString();
    const DialogStringEntry entry = GetString(stringName);
    replicaControl = Replica(replica);

    sentenceTime = 0.1f * static_cast<float>(entry.text.Length());
    if (sentenceTime < 1.0f)
        sentenceTime = 1.0f;

    CGeString voice = entry.file_name;
    if (voice.IsEmpty()) {
        const CGeString base =
            (voicePrefix.IsEmpty() ? CGeString("sound/") : voicePrefix + "/sound/") + stringName;
        voice = base + ".wav";
        if (!VoiceFileExists(voice))
            voice = base + ".ogg";
    }
    if (!stringName.IsEmpty() || !entry.file_name.IsEmpty()) {
        if (VoiceFileExists(voice)) {
            speakerEntity = GetSpeakerEntity(currentConversation, currentNode);
            if (CQmPropSoundSource* source = QmDialogSpeakerSource(speakerEntity)) {
                const uint32_t before = tickSource();
                QmSoundPlayRecord* record =
                    source->Start(voice.c_str(), source->FindSlot("speaker"), false, 1.0f, this, true);
                const uint32_t after = tickSource();
                CSmSound* sound = record ? record->ref.sound : nullptr;
                if (sound && sound->entry && sound->entry->data) {
                    const uint32_t length = sound->entry->data->GetDuration();
                    sentenceTime = static_cast<float>(length + 100 + (after - before)) * 0.001f;
                }
            }
        }
    }

    for (uint32_t i = 0; i < kReplicaCount; ++i) {
        if (i == replica)
            continue;
        if (CGuiTextControl* other = Replica(i)) {
            other->PlaceAt(10.0f, 10.0f);
            other->visible = 0;
        }
    }

    const CGeString actor = ResolveActorName(currentConversation, currentNode->name);
    const uint32_t lineColor =
        currentNode->color != 0xFFFFFFFF ? currentNode->color : SpeakerColour(actor);
    if (replicaControl) {
        replicaControl->SetProperty(EP_FontMaskColor, GuiMakeUInt(0xFFFFFFFF), true);
        CQmEntity* named = GetSpeakerEntity(currentConversation, currentNode);
        CQmPropActor* actorProp = named ? named->Prop<CQmPropActor>(QM_PROP_ACTOR) : nullptr;
        CGeWString text;
        if (actorProp && !actorProp->displayName.IsEmpty()) {
            text = ColorTag(kNameColor) + actorProp->displayName + CGeWString(u": ") + ColorTag(lineColor) +
                   entry.text;
        } else {
            text = ColorTag(lineColor) + entry.text;
        }
        replicaControl->SetText(text);
    }
    FitPanel(replica + 1);

    // Whether the dialog ends after this sentence, as the links stand now.
    CGeString target;
    if (!ChooseTarget(*cue, serial, target))
        return;
    lastSentence = target == "$end$";
}

bool CQmDialogSystem::ChooseTarget(const DialogCue& cue, uint32_t serial, CGeString& target)
{
    target = "$end$";
    for (const DialogLink& link : cue.links) {
        const bool holds = link.condition.IsEmpty() || Condition(link.condition);
        if (serial != dialogSerial)
            return false;
        if (holds) {
            target = link.target;
            break;
        }
    }
    return true;
}

void CQmDialogSystem::StopVoice()
{
    if (CQmPropSoundSource* source = speakerEntity ? speakerEntity->Prop<CQmPropSoundSource>(QM_PROP_SOUND_SOURCE)
                                                   : nullptr)
        source->StopByName("speaker");
    speakerEntity = nullptr;
}

void CQmDialogSystem::EndSentence(uint32_t replica)
{
    sentenceTime = 0.0f;
    replicaControl = nullptr;
    lastSentence = false;
    StopVoice();
    if (replica >= replicaCues.Count() || !currentConversation)
        return;
    const uint32_t serial = dialogSerial;
    DialogConversation* conversation = currentConversation;
    DialogCue* cue = replicaCues[replica];

    if (!cue->on_exit.IsEmpty()) {
        RunChunk(cue->on_exit);
        if (serial != dialogSerial)
            return;
    }
    SentenceEvent("on_sentence_end", sentenceNumber);
    if (serial != dialogSerial)
        return;

    for (const DialogFlagChange& change : cue->flag_changers) {
        if (change.name.IsEmpty())
            continue;
        if (change.clear == 0)
            CQmQuests::Pass(change.name.c_str(), change.location_name.c_str(), change.value);
        else
            CQmQuests::Fail(change.name.c_str(), change.location_name.c_str());
    }

    CGeString target;
    if (!ChooseTarget(*cue, serial, target))
        return;
    if (target == "$end$")
        EndDialog();
    else if (target == "$topics$") {
        if (topicsMode)
            OpenTopicsAfterSentence(conversation);
        else
            OpenTopics();
    } else
        NextReplica(target);
}

uint32_t CQmDialogSystem::PickWeightedVariant(const float* weights, uint32_t count)
{
    uint32_t positive = 0;
    for (uint32_t k = 0; k < count; ++k)
        if (weights[k] > 0.0f)
            ++positive;
    if (positive == 0)
        return 0;

    std::vector<int32_t> w(count);
    int64_t sum = 0;
    for (uint32_t k = 0; k < count; ++k) {
        w[k] = weights[k] > 0.0f ? static_cast<int32_t>(weights[k] * 100.0f) : 0;
        sum += w[k];
    }
    if (sum == 0) {
        // Every positive weight below a hundredth: equal chances.
        for (uint32_t k = 0; k < count; ++k)
            w[k] = weights[k] > 0.0f ? 1 : 0;
        sum = positive;
    }
    if (sum != 10000) {
        const float factor = 10000.0f / static_cast<float>(sum);
        int64_t total = 0;
        for (uint32_t k = 0; k < count; ++k) {
            const float scaled = static_cast<float>(w[k]) * factor;
            int32_t whole = static_cast<int32_t>(scaled);
            if (scaled - static_cast<float>(whole) >= 0.5f)
                ++whole;
            w[k] = whole;
            total += whole;
        }
        if (total != 10000) {
            uint32_t r = count > 1 ? static_cast<uint32_t>(GeRand()) % count : 0;
            while (total != 10000) {
                if (total < 10000) {
                    ++w[r];
                    ++total;
                } else if (w[r] > 0) {
                    --w[r];
                    --total;
                }
                r = (r + 1) % count;
            }
        }
    }

    std::vector<int32_t> cumulative;
    std::vector<uint32_t> position;
    int32_t running = 0;
    for (uint32_t k = 0; k < count; ++k)
        if (w[k] > 0) {
            running += w[k];
            cumulative.push_back(running);
            position.push_back(k);
        }
    if (cumulative.empty())
        return 0;
    cumulative.back() += 1;
    const int32_t r = GeRand() % 10001;
    for (size_t j = cumulative.size(); j-- > 0;) {
        const int32_t low = j ? cumulative[j - 1] : 0;
        if (low <= r && r < cumulative[j])
            return position[j];
    }
    return position.front();
}

void CQmDialogSystem::WobbleThoughtText(const GmTextVertex* source, GmTextVertex* target, uint32_t glyphCount,
                                        float* phase)
{
    *phase += g_geTimer ? g_geTimer->delta : 0.0f;
    const float p = *phase;
    for (uint32_t v = 0; v < glyphCount * 4; ++v) {
        const float a = 2.0f * p + static_cast<float>(v);
        const float b = 2.0f * p + static_cast<float>(v / 4);
        target[v] = source[v];
        target[v].x = source[v].x + 0.2f * std::sin(a) + 1.5f * std::sin(b);
        target[v].y = source[v].y + 0.2f * std::cos(a) + std::cos(b);
    }
}

void CQmDialogSystem::ClearReplicas()
{
    currentConversation = nullptr;
    currentNode = nullptr;
    for (uint32_t i = 0; i < kReplicaCount; ++i)
        if (CGuiTextControl* replica = Replica(i)) {
            replica->visible = 0;
            replica->SetText(CGeWString());
        }
    replicaCues.Clear();
    speakerColours.Clear();
}
