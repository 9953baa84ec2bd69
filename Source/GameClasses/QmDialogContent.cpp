// The dialog content: string lists, topic sets, colour sets and conversation
// sets read from every ".xml" file of a data folder, in name order, packs or
// loose files alike.
//
// Rules kept by the readers: required attributes missing or empty skip their
// element silently; the first string and the first conversation of a name
// win (conversation names are unique over all topics); a topic holds at most
// one conversation per opponent; the last label of a topic wins; a node
// without cues is dropped. Texts get "..." for U+2026 and "-" for U+2013.
// The first colour set met clears the colour table, and the table is filled
// up to six colours with the defaults after the files.
//
// Choice: a file that cannot be read or does not parse is skipped with a
// level-2 log line; the files after it are still read, so one broken file
// does not silently take every later conversation with it.
#include "Source/GameClasses/QmDialogSystem.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Source/GameClasses/QmGameProcessor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const uint32_t kDefaultColors[6] = {0xFFD1DCFD, 0xFFD1FDD3, 0xFFEFD1FD, 0xFFFAFDD1, 0xFF630909, 0xFFD1FDFB};

const char kGeneralTopic[] = "$general$";

// The attribute's text, or null when absent.
const char* Attr(const TiXmlElement* element, const char* name)
{
    return element->Attribute(name);
}

// The attribute when present and not empty, else null.
const char* RequiredAttr(const TiXmlElement* element, const char* name)
{
    const char* value = element->Attribute(name);
    return value && *value ? value : nullptr;
}

// The element's first child when it is a text node with some text, else null.
const char* FirstText(const TiXmlElement* element)
{
    const TiXmlNode* child = element->FirstChild();
    if (!child || !child->ToText())
        return nullptr;
    const char* text = child->Value();
    return text && *text ? text : nullptr;
}

// Dialog text: UTF-16 with the ellipsis spelt as three full stops and the en
// dash as a hyphen-minus. Decoded once into a reused buffer, then written
// straight into the result.
CGeWString DialogText(const char* utf8)
{
    // The buffer only grows: shrinking and growing it back would fill it
    // with zeros again for every text.
    static thread_local std::vector<char16_t> decoded;
    const size_t needed = std::strlen(utf8) + 1;
    if (decoded.size() < needed)
        decoded.resize(needed);
    Utf8ToWide(decoded.data(), utf8);
    uint32_t length = 0, ellipses = 0;
    for (; decoded[length]; ++length)
        ellipses += decoded[length] == u'\u2026' ? 1 : 0;
    CGeWString text;
    if (length == 0)
        return text;
    text.Resize(length + 2 * ellipses, false);
    char16_t* out = text.data;
    for (uint32_t i = 0; i < length; ++i) {
        const char16_t c = decoded[i];
        if (c == u'\u2026') {
            *out++ = u'.';
            *out++ = u'.';
            *out++ = u'.';
        } else {
            *out++ = c == u'\u2013' ? u'-' : c;
        }
    }
    *out = 0;
    return text;
}

// A node of that name is already in the conversation (compared with the
// attribute's text as it stands, without making a string of it).
bool HasNode(const DialogConversation& conversation, const char* nodeName)
{
    for (const DialogNode& node : conversation.nodes)
        if (node.name == nodeName)
            return true;
    return false;
}

bool HasXmlExtension(const CGeString& name)
{
    const char* dot = std::strrchr(name.c_str(), '.');
    if (!dot || std::strchr(dot, '/'))
        return false;
    char lower[4] = {};
    size_t n = std::strlen(dot + 1);
    if (n != 3)
        return false;
    for (size_t i = 0; i < 3; ++i)
        lower[i] = static_cast<char>(dot[1 + i] >= 'A' && dot[1 + i] <= 'Z' ? dot[1 + i] + 32 : dot[1 + i]);
    return std::memcmp(lower, "xml", 3) == 0;
}

} // namespace

DialogNode* DialogConversation::FindNode(const CGeString& nodeName)
{
    for (DialogNode& node : nodes)
        if (node.name == nodeName)
            return &node;
    return nullptr;
}

const DialogNode* DialogConversation::FindNode(const CGeString& nodeName) const
{
    return const_cast<DialogConversation*>(this)->FindNode(nodeName);
}

void CQmDialogSystem::LoadContent(const char* folder)
{
    const CGeString directory = g_dataRoot + folder;
    CGeArray<CGeString> listed;
    CollectFileList(directory, listed);
    std::vector<CGeString> files;
    for (const CGeString& name : listed)
        if (HasXmlExtension(name))
            files.push_back(name);
    std::sort(files.begin(), files.end());

    colorSetSeen = false;
    for (const CGeString& name : files) {
        const CGeString path = directory + "/" + name;
        TiXmlDocument document;
        if (!XmlLoadDocument(path, document) || document.Error() || !document.RootElement()) {
            GeLog(2, "Dialog content '%s' cannot be read, skipped", path.c_str());
            continue;
        }
        TiXmlElement* root = document.RootElement();
        const char* kind = root->Value();
        if (std::strcmp(kind, "string_list") == 0)
            LoadStringList(root);
        else if (std::strcmp(kind, "topic_set") == 0)
            LoadTopicSet(root);
        else if (std::strcmp(kind, "color_set") == 0)
            LoadColorSet(root);
        else if (std::strcmp(kind, "conversation_set") == 0)
            LoadConversationSet(root);
    }

    for (uint32_t i = colors.Count(); i < 6; ++i)
        colors.Add(kDefaultColors[i]);
}

void CQmDialogSystem::LoadStringList(TiXmlElement* root)
{
    for (TiXmlElement* e = root->FirstChildElement("string"); e; e = e->NextSiblingElement("string")) {
        const char* name = RequiredAttr(e, "string_name");
        if (!name)
            continue;
        // One walk of the tree: a name already there keeps its first entry.
        CGeString key(name);
        const uint32_t before = strings.Count();
        DialogStringEntry& entry = strings.InsertNode(key, DialogStringEntry())->value;
        if (strings.Count() == before)
            continue;
        entry.name = std::move(key);
        if (const char* file = Attr(e, "file_name"))
            entry.file_name = file;
        if (const char* text = FirstText(e))
            entry.text = DialogText(text);
    }
}

void CQmDialogSystem::LoadTopicSet(TiXmlElement* root)
{
    for (TiXmlElement* e = root->FirstChildElement("topic"); e; e = e->NextSiblingElement("topic")) {
        const char* name = RequiredAttr(e, "topic_name");
        if (!name)
            continue;
        const char* label = Attr(e, "string_name");
        DialogTopic& topic = topics[CGeString(name)];
        topic.topic_name = name;
        topic.string_name = label ? label : "";
    }
}

void CQmDialogSystem::LoadColorSet(TiXmlElement* root)
{
    if (!colorSetSeen) {
        colors.Clear();
        colorSetSeen = true;
    }
    for (TiXmlElement* e = root->FirstChildElement("color"); e; e = e->NextSiblingElement("color")) {
        const char* value = RequiredAttr(e, "value");
        if (value)
            colors.Add(static_cast<uint32_t>(ParseIntegerText(value)));
    }
}

void CQmDialogSystem::LoadConversationSet(TiXmlElement* root)
{
    for (TiXmlElement* e = root->FirstChildElement("conversation"); e; e = e->NextSiblingElement("conversation"))
        ReadConversation(e);
}

void CQmDialogSystem::ReadConversation(TiXmlElement* element)
{
    const char* name = RequiredAttr(element, "name");
    if (!name)
        return;
    CGeString conversationName(name);
    if (FindConversation(conversationName))
        return;
    const char* topicAttr = Attr(element, "topic_name");
    const char* opponentAttr = Attr(element, "opponent_name");
    const CGeString topicName = topicAttr ? topicAttr : kGeneralTopic;
    CGeString opponent = opponentAttr ? opponentAttr : "";

    if (topicAttr && *topicAttr && !opponent.IsEmpty()) {
        if (auto* topicNode = topics.Find(topicName))
            for (auto* c = topicNode->value.conversations.first; c; c = topicNode->value.conversations.Next(c))
                if (c->value.opponent_name == opponent)
                    return;
    }

    DialogTopic& topic = topics[topicName];
    if (topic.topic_name != topicName)
        topic.topic_name = topicName;
    DialogConversation& conversation = topic.conversations.InsertNode(conversationName, DialogConversation())->value;
    conversation.topic_name = topicAttr ? topicName : CGeString();
    conversation.opponent_name = std::move(opponent);
    conversation.name = std::move(conversationName);
    conversation.nodes.SetGrowStep(16);

    for (TiXmlElement* n = element->FirstChildElement("node"); n; n = n->NextSiblingElement("node")) {
        const char* nodeName = RequiredAttr(n, "name");
        if (!nodeName || HasNode(conversation, nodeName))
            continue;
        DialogNode node;
        const char* actor = RequiredAttr(n, "actor_name");
        node.actor_name = actor ? actor : "$self$";
        node.name = nodeName;
        const char* color = Attr(n, "color");
        node.color = color ? static_cast<uint32_t>(ParseIntegerText(color)) : 0xFFFFFFFF;
        node.cues.SetGrowStep(16);

        for (TiXmlElement* c = n->FirstChildElement("cue"); c; c = c->NextSiblingElement("cue")) {
            DialogCue cue;
            const char* order = Attr(c, "variant_order");
            cue.order = !order || std::strcmp(order, "random") == 0 ? 0 : 1;
            const char* onExit = Attr(c, "on_exit");
            cue.on_exit = onExit ? onExit : "";
            for (TiXmlElement* p = c->FirstChildElement(); p; p = p->NextSiblingElement()) {
                const char* kind = p->Value();
                if (std::strcmp(kind, "appear_if") == 0) {
                    if (const char* text = FirstText(p))
                        cue.appear_if = text;
                } else if (std::strcmp(kind, "variant") == 0) {
                    const char* stringName = Attr(p, "string_name");
                    if (!stringName)
                        continue;
                    DialogVariant variant;
                    variant.string_name = stringName;
                    const char* frequency = Attr(p, "frequency");
                    variant.frequency = frequency ? static_cast<float>(std::atof(frequency)) : 1.0f;
                    cue.variants.Add(std::move(variant));
                } else if (std::strcmp(kind, "flag_changer") == 0) {
                    const char* flagName = Attr(p, "name");
                    if (!flagName)
                        continue;
                    DialogFlagChange change;
                    change.name = flagName;
                    const char* group = Attr(p, "location_name");
                    change.location_name = group ? group : "";
                    const char* state = Attr(p, "state");
                    change.clear = !state || std::strcmp(state, "true") == 0 ? 0 : 1;
                    const char* value = Attr(p, "value");
                    change.value = value ? static_cast<int32_t>(std::atoi(value)) : 0;
                    cue.flag_changers.Add(std::move(change));
                } else if (std::strcmp(kind, "link") == 0) {
                    const char* target = Attr(p, "target");
                    if (!target)
                        continue;
                    DialogLink link;
                    link.target = target;
                    const char* condition = FirstText(p);
                    link.condition = condition ? condition : "";
                    cue.links.Add(std::move(link));
                }
            }
            node.cues.Add(std::move(cue));
        }
        if (!node.cues.IsEmpty())
            conversation.nodes.Add(std::move(node));
    }
}

DialogStringEntry CQmDialogSystem::GetString(const CGeString& stringName) const
{
    if (auto* node = strings.Find(stringName))
        return node->value;
    DialogStringEntry placeholder;
    placeholder.text = u"<Бормочет что-то невнятное...>";
    return placeholder;
}

DialogConversation* CQmDialogSystem::FindConversation(const CGeString& conversationName)
{
    for (auto* t = topics.first; t; t = topics.Next(t))
        if (auto* c = t->value.conversations.Find(conversationName))
            return &c->value;
    return nullptr;
}
