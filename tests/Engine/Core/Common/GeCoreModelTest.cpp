// Randomised runs of the core containers, strings and text helpers, checked
// step by step against the standard library. Under the sanitizers they also
// show reads or writes outside a buffer that the hand-written cases miss.
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeStringText.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeWideFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string RandomText(std::mt19937& random, const char* alphabet, uint32_t maxLength)
{
    const size_t letters = strlen(alphabet);
    std::string text(random() % (maxLength + 1), ' ');
    for (char& c : text)
        c = alphabet[random() % letters];
    return text;
}

std::string Bytes(const CGeString& s)
{
    return std::string(s.c_str(), s.length);
}

std::u16string Units(const CGeWString& s)
{
    return std::u16string(s.c_str(), s.length);
}

std::u16string Widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

// Every string keeps its invariants: a buffer exactly when it is not empty,
// the terminator after the last character.
void CheckString(const CGeString& s, const std::string& model)
{
    ASSERT_EQ(Bytes(s), model);
    ASSERT_EQ(s.data == nullptr, s.length == 0);
    if (s.data) {
        ASSERT_EQ(s.data[s.length], '\0');
    }
}

// Insert and Mid of either string type, with the same step on the model.
template <typename String, typename Model>
void InsertAtRandom(std::mt19937& random, String& s, Model& model, const Model& text)
{
    const uint32_t position = model.empty() ? 0 : random() % (model.size() + 1);
    const uint32_t count = random() % 6;
    s.Insert(position, count, String(text.c_str()));
    if (model.empty())
        model = text;   // an empty string becomes a copy, whatever the position
    else
        model.replace(position, count, text);
}

template <typename String, typename Model>
void MidAtRandom(std::mt19937& random, String& s, Model& model)
{
    const uint32_t start = random() % (model.size() + 1);
    const uint32_t count = random() % 20;
    s = s.Mid(start, count);
    model = model.substr(start, count);
}

TEST(GeCoreModel, StringOperationsMatchStdString)
{
    std::mt19937 random(7);
    const char* alphabet = "abAB/\\.x";
    for (int round = 0; round < 200; ++round) {
        CGeString s;
        std::string model;
        for (int step = 0; step < 60; ++step) {
            const std::string text = RandomText(random, alphabet, step % 7 == 0 ? 80 : 12);
            switch (random() % 9) {
            case 0:
                s = text.c_str();
                model = text;
                break;
            case 1:
                s.Append(text.c_str());
                model += text;
                break;
            case 2:
                InsertAtRandom(random, s, model, text);
                break;
            case 3:
                MidAtRandom(random, s, model);
                break;
            case 4:
                s = s + text.c_str();
                model += text;
                break;
            case 5: {
                if (text.empty())
                    break;
                const std::string replacement = RandomText(random, alphabet, 3);
                s = CGeString::ReplaceAll(s, CGeString(text.c_str()), CGeString(replacement.c_str()));
                for (size_t at = 0; (at = model.find(text, at)) != std::string::npos; at += replacement.size())
                    model.replace(at, text.size(), replacement);
                break;
            }
            case 6:
                s = ToLowerString(s);
                model = model.substr(0, 1023);
                std::transform(model.begin(), model.end(), model.begin(),
                               [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
                break;
            case 7: {
                const CGeString other(text.c_str());
                ASSERT_EQ(s == other, model == text);
                ASSERT_EQ(s == text.c_str(), model == text);
                ASSERT_EQ(s != other, model != text);
                ASSERT_EQ(s < other, model < text);
                ASSERT_EQ(other < s, text < model);
                break;
            }
            case 8:
                s.Append(s.c_str());   // its own text, across a buffer change or not
                model += model;
                break;
            }
            CheckString(s, model);
            if (model.size() > 3000) {
                s = "";
                model.clear();
            }
        }
    }
}

TEST(GeCoreModel, WideStringOperationsMatchStdU16String)
{
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        CGeWString s;
        std::u16string model;
        for (int step = 0; step < 60; ++step) {
            const std::u16string text = Widen(RandomText(random, "ab,", step % 7 == 0 ? 70 : 10));
            switch (random() % 7) {
            case 0:
                s = text.c_str();
                model = text;
                break;
            case 1:
                s += CGeWString(text.c_str());
                model += text;
                break;
            case 2:
                InsertAtRandom(random, s, model, text);
                break;
            case 3:
                MidAtRandom(random, s, model);
                break;
            case 4:
                s = CGeWString::Concat(s, text.c_str());
                model += text;
                break;
            case 5:
                s += s;
                model += model;
                break;
            case 6: {
                // Split at ',' against a reference that keeps empty pieces
                // except a last one after a trailing separator.
                CGeArray<CGeWString> pieces;
                const uint32_t n = CGeWString::Split(s, pieces, CGeWString(u","));
                std::vector<std::u16string> expected;
                size_t position = 0;
                while (position < model.size()) {
                    size_t found = model.find(u',', position);
                    if (found == std::u16string::npos)
                        break;
                    expected.push_back(model.substr(position, found - position));
                    position = found + 1;
                }
                if (position < model.size())
                    expected.push_back(model.substr(position));
                ASSERT_EQ(n, expected.size());
                for (uint32_t i = 0; i < n; ++i)
                    ASSERT_EQ(Units(pieces[i]), expected[i]);
                break;
            }
            }
            ASSERT_EQ(Units(s), model);
            ASSERT_EQ(s.data == nullptr, s.length == 0);
            if (s.data) {
                ASSERT_EQ(s.data[s.length], u'\0');
            }
            if (model.size() > 3000) {
                s = u"";
                model.clear();
            }
        }
    }
}

// An element that owns memory, so that a lost or doubled destruction shows
// under the sanitizers and in the live count.
struct Owned {
    static int live;
    std::unique_ptr<int> value;

    explicit Owned(int v) : value(new int(v)) { ++live; }
    Owned(const Owned& other) : value(new int(*other.value)) { ++live; }
    Owned(Owned&& other) noexcept : value(std::move(other.value)) { ++live; }
    ~Owned() { --live; }
};
int Owned::live = 0;

TEST(GeCoreModel, ArrayOperationsMatchStdVector)
{
    std::mt19937 random(3);
    {
        CGeArray<Owned> array;
        std::vector<int> model;
        for (int step = 0; step < 20000; ++step) {
            switch (random() % 4) {
            case 0:
            case 1:
                array.Add(Owned(step));
                model.push_back(step);
                break;
            case 2: {
                const uint32_t index = random() % (model.size() + 1);
                const uint32_t n = random() % 20;
                array.InsertGap(index, n);
                for (uint32_t i = 0; i < n; ++i)
                    new (&array[index + i]) Owned(-step);
                model.insert(model.begin() + index, n, -step);
                break;
            }
            case 3:
                if (!model.empty()) {
                    const uint32_t index = random() % model.size();
                    array.RemoveAt(index);
                    model.erase(model.begin() + index);
                }
                break;
            }
            if (model.size() > 300) {
                array.Clear();
                model.clear();
            }
            ASSERT_EQ(array.count, model.size());
            ASSERT_EQ(array.capacity, (array.count + 15) / 16 * 16);
            ASSERT_EQ(array.data == nullptr, array.capacity == 0);
            ASSERT_EQ(Owned::live, (int)model.size());
            if (step % 97 == 0) {
                for (uint32_t i = 0; i < array.count; ++i)
                    ASSERT_EQ(*array[i].value, model[i]);
            }
        }
    }
    EXPECT_EQ(Owned::live, 0);
}

TEST(GeCoreModel, PoolListOperationsMatchStdList)
{
    std::mt19937 random(19);
    {
        CGePoolList<Owned> list;
        std::list<int> model;
        for (int step = 0; step < 20000; ++step) {
            const uint32_t op = random() % 6;
            if (op <= 1 || model.empty()) {
                list.PushBack(Owned(step));
                model.push_back(step);
            } else if (op == 2) {
                list.PopFront();
                model.pop_front();
            } else if (op == 3) {
                // A random range first..last, detached as one chain.
                const uint32_t from = random() % model.size();
                const uint32_t to = from + random() % (model.size() - from);
                auto* first = list.head;
                for (uint32_t i = 0; i < from; ++i)
                    first = first->next;
                auto* last = first;
                for (uint32_t i = from; i < to; ++i)
                    last = last->next;
                list.UnlinkRange(first, last);
                model.erase(std::next(model.begin(), from), std::next(model.begin(), to + 1));
            } else if (op == 5) {
                // After a random node, or at the front (position 0).
                const uint32_t at = random() % (model.size() + 1);
                auto* after = at ? list.head : nullptr;
                for (uint32_t i = 1; i < at; ++i)
                    after = after->next;
                list.InsertAfter(after, Owned(step));
                model.insert(std::next(model.begin(), at), step);
            } else if (random() % 100 == 0) {
                list.Destroy();
                model.clear();
            }
            ASSERT_EQ(list.count, model.size());
            ASSERT_EQ(Owned::live, (int)model.size());
            ASSERT_EQ(list.head == nullptr, model.empty());
            ASSERT_EQ(list.tail == nullptr, model.empty());
            if (step % 53 == 0) {
                auto it = model.begin();
                for (auto* node = list.head; node; node = node->next, ++it) {
                    ASSERT_EQ(node->prev ? node->prev->next : list.head, node);
                    ASSERT_EQ(*node->value.value, *it);
                    ASSERT_EQ(node->next ? node->next->prev : list.tail, node);
                }
                ASSERT_EQ(it, model.end());
            }
        }
    }
    EXPECT_EQ(Owned::live, 0);
}

TEST(GeCoreModel, MapWithClearAndCopiesMatchesStdMap)
{
    std::mt19937 random(5);
    CGeStringMap<CGeString> map;
    std::map<std::string, std::string> model;
    for (int step = 0; step < 20000; ++step) {
        const std::string key = RandomText(random, "aAb", 4);
        const CGeString geKey(key.c_str());
        switch (random() % 8) {
        case 0:
        case 1:
        case 2:
            map.InsertNode(geKey, geKey + "!");
            model.emplace(key, key + "!");
            break;
        case 3:
            map[geKey] = geKey;
            model[key] = key;
            break;
        case 4:
        case 5:
            map.EraseKey(geKey);
            model.erase(key);
            break;
        case 6:
            if (random() % 50 == 0) {
                map.Clear();
                model.clear();
            } else if (random() % 25 == 0) {
                CGeStringMap<CGeString> copy(map);
                map = copy;
            }
            break;
        case 7: {
            auto* node = map.Find(geKey);
            auto it = model.find(key);
            ASSERT_EQ(node != nullptr, it != model.end());
            if (node) {
                ASSERT_EQ(Bytes(node->value), it->second);
            }
            auto* bound = map.LowerBound(geKey);
            auto modelBound = model.lower_bound(key);
            ASSERT_EQ(bound != nullptr, modelBound != model.end());
            if (bound) {
                ASSERT_EQ(Bytes(bound->key), modelBound->first);
            }
            break;
        }
        }
        ASSERT_EQ(map.count, model.size());
        if (step % 101 == 0) {
            auto it = model.begin();
            for (auto* node = map.first; node; node = map.Next(node), ++it) {
                ASSERT_NE(it, model.end());
                ASSERT_EQ(Bytes(node->key), it->first);
                ASSERT_EQ(Bytes(node->value), it->second);
            }
            ASSERT_EQ(it, model.end());
            ASSERT_EQ(map.last ? Bytes(map.last->key) : "", model.empty() ? "" : model.rbegin()->first);
        }
    }
}

// Random bytes through the decoders: no read past the terminator, no write
// past one unit per input byte plus the terminator.
TEST(GeCoreModel, DecodersStayInsideTheirBuffers)
{
    std::mt19937 random(9);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 12, ' ');
        for (char& c : bytes)
            c = char(1 + random() % 255);
        std::vector<char16_t> wide(bytes.size() + 1, u'#');
        Utf8ToWide(wide.data(), bytes.c_str());
        ASSERT_LE(std::u16string(wide.data()).size(), bytes.size());
        AnsiToWide(wide.data(), bytes.c_str());
        ASSERT_EQ(std::u16string(wide.data()).size(), bytes.size());

        std::u16string units(random() % 14, u' ');
        for (char16_t& u : units)
            u = char16_t(1 + random() % 0x500);
        if (random() % 2 && !units.empty())
            units[random() % units.size()] = u'&';
        ASSERT_LE(CountPrintableChars(units.c_str()), units.size());
        std::vector<char> narrow(units.size() + 1, '#');
        WideToAnsi(narrow.data(), units.c_str());
        ASSERT_EQ(strlen(narrow.data()), units.size());
    }
}

// The path helpers on random paths, against their plain definitions.
TEST(GeCoreModel, PathHelpersFollowTheirDefinitions)
{
    std::mt19937 random(13);
    for (int round = 0; round < 20000; ++round) {
        const std::string path = RandomText(random, "a/\\.", 8);
        const CGeString gePath(path.c_str());

        size_t dot = path.rfind('.');
        EXPECT_EQ(Bytes(GetPathExtension(gePath)), dot == std::string::npos ? "" : path.substr(dot + 1)) << path;

        size_t separator = path.find_last_of("/\\");
        std::string directory = separator == std::string::npos ? "." : path.substr(0, separator);
        std::replace(directory.begin(), directory.end(), '\\', '/');
        EXPECT_EQ(Bytes(GetPathDirectory(gePath)), directory) << path;

        // Separators and dots at index 0 are not seen by the base name.
        size_t seenSeparator = separator == 0 ? std::string::npos : separator;
        size_t seenDot = dot == 0 ? std::string::npos : dot;
        std::string base;
        if (seenSeparator == std::string::npos)
            base = seenDot == std::string::npos ? path : path.substr(0, seenDot);
        else if (seenDot == std::string::npos || seenDot < seenSeparator)
            base = path.substr(seenSeparator + 1);
        else
            base = path.substr(seenSeparator + 1, seenDot - seenSeparator - 1);
        EXPECT_EQ(Bytes(GetPathBaseName(gePath)), base) << path;
    }
}

// Numeric conversions built at random agree with the C library's printf.
TEST(GeCoreModel, WideNumbersMatchPrintf)
{
    std::mt19937 random(17);
    const char* flags[] = { "", "-", "+", " ", "#", "0", "-0", "+ ", "#0" };
    const char conversions[] = "diuxXofeEgG";
    for (int round = 0; round < 5000; ++round) {
        std::string spec = std::string("%") + flags[random() % 9];
        if (random() % 2)
            spec += std::to_string(random() % 30);
        if (random() % 2)
            spec += "." + std::to_string(random() % 12);
        const char conversion = conversions[random() % (sizeof(conversions) - 1)];
        spec += conversion;
        const std::string format = "<" + spec + ">";

        char expected[256];
        char16_t wideOut[256];
        const std::u16string wideFormat = Widen(format);
        const bool isFloat = strchr("feEgG", conversion) != nullptr;
        if (isFloat) {
            const double value = (double(random()) - 2147483648.0) / double(1 + random() % 100000);
            snprintf(expected, sizeof(expected), format.c_str(), value);
            FormatWideBufferN(wideOut, 256, wideFormat.c_str(), value);
        } else {
            const int value = int(random());
            snprintf(expected, sizeof(expected), format.c_str(), value);
            FormatWideBufferN(wideOut, 256, wideFormat.c_str(), value);
        }
        ASSERT_EQ(std::u16string(wideOut), Widen(expected)) << format;
    }
}

} // namespace
