// Loading and freeing of the GUI resources.
#include "Engine/Gui/GuiResources.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Core/Gm/GuiFont.h"

#include <cstring>

uint32_t CGuiResources::languageIndex = 0;
CGeStringMap<CGeWString> CGuiResources::strings;
CGeStringMap<CGmTexture*> CGuiResources::images;
CGeMap<uintptr_t, CGeString> CGuiResources::imageNames;
CGeStringMap<GuiImageList*> CGuiResources::imageLists;
CGeMap<uintptr_t, CGeString> CGuiResources::imageListNames;
CGeStringMap<CGuiFont*> CGuiResources::fonts;
CGeMap<uintptr_t, CGeString> CGuiResources::fontNames;
CGeStringMap<CGmImageSet*> CGuiResources::spriteSchemas;
CGeMap<uintptr_t, CGeString> CGuiResources::schemaNames;

namespace {

uintptr_t Key(const void* address)
{
    return reinterpret_cast<uintptr_t>(address);
}

// The handle every section reads with: missing attributes are no report.
XmlHandle On(TiXmlElement* element)
{
    XmlHandle handle;
    handle.reportMissing = 0;
    handle.element = element;
    return handle;
}

CGmTexture* LoadGuiTexture(const CGeString& fileName, bool* found)
{
    *found = false;
    return rescollect::LoadTexture(DataRootPrefix + fileName.c_str(), false, found);
}

// The texture of a grid or rectangle schema; none for the other kinds.
CGmTexture* SchemaTexture(const CGmImageSet* set)
{
    if (!set || (set->kind != CGmImageSet::KIND_GRID && set->kind != CGmImageSet::KIND_RECT))
        return nullptr;
    return set->texture;
}

} // namespace

CGeString GuiDerivedImageName(const CGeString& fileName)
{
    CGeString name = GetPathRelativeToBase(GetPathDirectory(fileName));
    name.Append("/");
    name.Append(GetPathBaseName(fileName).c_str());
    return name;
}

CGeString CGuiResources::GetLanguageCode()
{
    switch (languageIndex) {
    case 1: return CGeString("RUS");
    case 2: return CGeString("SPA");
    default: return CGeString("ENG");
    }
}

CGuiFont* CGuiResources::FindFont(const CGeString& name)
{
    auto* node = fonts.Find(name);
    return node ? node->value : nullptr;
}

CGeString CGuiResources::FindFontName(const CGuiFont* font)
{
    auto* node = fontNames.Find(Key(font));
    return node ? node->value : CGeString();
}

CGmImageSet* CGuiResources::FindSpriteSchema(const CGeString& name)
{
    auto* node = spriteSchemas.Find(name);
    return node ? node->value : nullptr;
}

const CGeWString* CGuiResources::FindString(const CGeString& id)
{
    auto* node = strings.Find(id);
    return node ? &node->value : nullptr;
}

void CGuiResources::Load(const CGeString& path, uint32_t index)
{
    languageIndex = index;
    TiXmlDocument document;
    if (!XmlLoadDocument(path, document) || document.Error()) {
        GeLog(1, "CGuiResources::Load: %s cannot be read\n", path.c_str());
        return;
    }
    TiXmlElement* root = document.FirstChildElement("GUI_RESOURCES");
    if (!root) {
        GeLog(1, "CGuiResources::Load: %s has no GUI_RESOURCES\n", path.c_str());
        return;
    }
    if (TiXmlElement* e = root->FirstChildElement("STRINGLIST"))
        LoadStringList(e);
    if (TiXmlElement* e = root->FirstChildElement("PICS")) {
        LoadImages(CGeString(), e);
        LoadImageLists(e);
    }
    if (TiXmlElement* e = root->FirstChildElement("FONTLIST"))
        LoadFonts(e);
    if (TiXmlElement* e = root->FirstChildElement("SPRITE_SCHEMAS"))
        LoadSpriteSchemas(e);
}

void CGuiResources::LoadStringList(TiXmlElement* stringList)
{
    const CGeString code = GetLanguageCode();
    for (TiXmlElement* e = stringList->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const TiXmlAttribute* first = e->FirstAttribute();
        if (!first)
            continue;
        const CGeString id(e->Value());
        if (strings.Find(id)) {
            GeLog(2, "CGuiResources: string %s is defined again\n", id.c_str());
            continue;
        }
        const char* text = e->Attribute(code.c_str());
        strings[id] = Utf8StringToWide(CGeString(text ? text : first->Value()));
    }
}

GuiImageList* CGuiResources::ListNamed(const CGeString& name)
{
    if (auto* node = imageLists.Find(name))
        return node->value;
    GuiImageList* list = new GuiImageList();
    imageLists[name] = list;
    imageListNames[Key(list)] = name;
    return list;
}

bool CGuiResources::AddImage(const CGeString& name, CGmTexture* texture)
{
    if (images.Find(name))
        return false;
    texture->AddRef();
    images[name] = texture;
    imageNames[Key(texture)] = name;
    return true;
}

void CGuiResources::LoadImages(const CGeString& givenListName, TiXmlElement* element)
{
    GuiImageList* list = nullptr;
    if (strcmp(element->Value(), "IMAGELIST") == 0) {
        CGeString listName = givenListName;
        if (listName.Length() == 0) {
            const char* name = element->Attribute("Name");
            listName = name ? name : "";
        }
        list = ListNamed(listName);
    }
    const CGeString code = GetLanguageCode();
    for (TiXmlElement* image = element->FirstChildElement("IMAGE"); image; image = image->NextSiblingElement("IMAGE")) {
        const char* fileName = image->Attribute("FileName");
        if (!fileName) {
            TiXmlElement* local = image->FirstChildElement(code.c_str());
            if (!local)
                local = image->FirstChildElement();
            fileName = local ? local->Attribute("FileName") : nullptr;
        }
        if (!fileName) {
            GeLog(2, "CGuiResources: an IMAGE without FileName is skipped\n");
            continue;
        }
        bool found = false;
        CGmTexture* texture = LoadGuiTexture(CGeString(fileName), &found);
        if (!found)
            GeLog(2, "CGuiResources: image %s%s is not found\n", DataRootPrefix.c_str(), fileName);
        if (!texture)
            continue;
        if (list) {
            list->Add(texture); // the list keeps the loader's reference
            continue;
        }
        const char* name = image->Attribute("Name");
        const CGeString imageName = name ? CGeString(name) : GuiDerivedImageName(CGeString(fileName));
        if (!AddImage(imageName, texture))
            GeLog(2, "CGuiResources: image %s is defined again\n", imageName.c_str());
        texture->Release();
    }
}

void CGuiResources::LoadImageLists(TiXmlElement* pics)
{
    const CGeString code = GetLanguageCode();
    for (TiXmlElement* e = pics->FirstChildElement("IMAGELIST"); e; e = e->NextSiblingElement("IMAGELIST")) {
        const char* name = e->Attribute("Name");
        if (!name) {
            GeLog(2, "CGuiResources: an IMAGELIST without Name is skipped\n");
            continue;
        }
        const CGeString listName(name);
        if (imageLists.Find(listName)) {
            GeLog(2, "CGuiResources: image list %s is defined again\n", name);
            continue;
        }
        TiXmlElement* first = e->FirstChildElement();
        if (first && strcmp(first->Value(), "FILENAME") == 0) {
            const char* path = first->Attribute(code.c_str());
            if (!path) {
                const TiXmlAttribute* any = first->FirstAttribute();
                if (!any) {
                    GeLog(2, "CGuiResources: image list %s names no file\n", name);
                    continue;
                }
                GeLog(2, "CGuiResources: image list %s has no %s file\n", name, code.c_str());
                path = any->Value();
            }
            ListNamed(listName);
            LoadImageListFile(listName, DataRootPrefix + path);
            continue;
        }
        ListNamed(listName);
        LoadImages(listName, e);
    }
}

CGeString CGuiResources::LoadImageListFile(const CGeString& listName, const CGeString& path)
{
    TiXmlDocument document;
    if (!XmlLoadDocument(path, document) || document.Error()) {
        GeLog(2, "CGuiResources: image list file %s cannot be read\n", path.c_str());
        return CGeString();
    }
    TiXmlElement* list = document.FirstChildElement("IMAGELIST");
    if (!list) {
        GeLog(2, "CGuiResources: image list file %s has no IMAGELIST\n", path.c_str());
        return CGeString();
    }
    CGeString name = listName;
    if (name.Length() == 0) {
        const char* own = list->Attribute("Name");
        name = own ? own : "";
    }
    LoadImages(name, list);
    return name;
}

void CGuiResources::LoadFonts(TiXmlElement* fontList)
{
    for (TiXmlElement* e = fontList->FirstChildElement("FONT"); e; e = e->NextSiblingElement("FONT")) {
        XmlHandle h = On(e);
        const char* name = XmlGetText("Name", h);
        if (!name)
            continue;
        if (fonts.Find(CGeString(name))) {
            GeLog(2, "CGuiResources: font %s is defined again\n", name);
            continue;
        }
        const char* codeText = XmlGetText("CodeTable", h);
        const int32_t framesPerLine = XmlGetInt("FramesPerLine", h);
        if (!codeText || framesPerLine <= 0) {
            GeLog(1, "CGuiResources: font %s lacks its CodeTable or FramesPerLine\n", name);
            continue;
        }
        const CGeWString codes = Utf8StringToWide(CGeString(codeText));
        CGeArray<uint16_t> widths;
        if (const char* widthText = XmlGetText("SymbolWidths", h)) {
            // Widths are texture pixels; the font multiplies them back by the
            // same factor for the drawn advance.
            XmlParseIndexList(widthText, widths);
            const float scale = g_gm2dScale[CGeHub::s_currentSlot][0];
            for (uint16_t& w : widths)
                w = (uint16_t)((float)w / (scale > 0.0f ? scale : 1.0f));
        }
        const uint8_t centered = XmlGetBool("Centered", h) ? 1 : 0;
        const char* fileName = XmlGetText("FileName", h);
        if (!fileName)
            continue;
        bool found = false;
        CGmTexture* texture = LoadGuiTexture(CGeString(fileName), &found);
        if (!found) {
            GeLog(2, "CGuiResources: font %s: %s%s is not found\n", name, DataRootPrefix.c_str(), fileName);
            if (texture)
                texture->Release();
            continue;
        }
        CGuiFont* font = new CGuiFont();
        const bool made = font->Init(texture, codes.Length(), (uint32_t)framesPerLine, codes.c_str(),
                                     widths.Count() ? &widths[0] : nullptr, widths.Count(), centered);
        texture->Release();
        if (!made) {
            GeLog(1, "CGuiResources: font %s cannot be cut into cells\n", name);
            delete font;
            continue;
        }
        fonts[CGeString(name)] = font;
        fontNames[Key(font)] = CGeString(name);
    }
}

void CGuiResources::LoadSpriteSchemas(TiXmlElement* schemas)
{
    for (TiXmlElement* e = schemas->FirstChildElement("SPRITE_SCHEMA"); e; e = e->NextSiblingElement("SPRITE_SCHEMA")) {
        XmlHandle h = On(e);
        const char* nameText = XmlGetText("Name", h);
        if (!nameText) {
            GeLog(2, "CGuiResources: a SPRITE_SCHEMA without Name is skipped\n");
            continue;
        }
        const CGeString name(nameText);
        if (spriteSchemas.Find(name)) {
            GeLog(2, "CGuiResources: sprite schema %s replaces the earlier one\n", nameText);
            RemoveSpriteSchema(name);
        }
        CGmImageSet* set = nullptr;
        if (const char* image = XmlGetText("Image", h)) {
            CGmTexture* texture = nullptr;
            if (auto* node = images.Find(CGeString(image))) {
                texture = node->value;
            } else {
                bool found = false;
                CGmTexture* loaded = LoadGuiTexture(CGeString(image), &found);
                if (!found) {
                    if (loaded)
                        loaded->Release();
                    GeLog(2, "CGuiResources: sprite schema %s: %s is not found\n", nameText, image);
                    continue;
                }
                AddImage(GuiDerivedImageName(CGeString(image)), loaded);
                loaded->Release();
                texture = loaded; // the image table holds it now
            }
            CGeArray<uint16_t> rect;
            const char* rectText = XmlGetText("Rect", h);
            set = new CGmImageSet();
            if (rectText && XmlParseIndexList(rectText, rect) == 4) {
                set->InitFromRect(texture, rect[0], rect[1], rect[2], rect[3]);
            } else {
                const int32_t total = XmlHasAttribute("TotalFrames", h) ? XmlGetInt("TotalFrames", h) : 1;
                const int32_t perLine = XmlHasAttribute("FramesPerLine", h) ? XmlGetInt("FramesPerLine", h) : 1;
                if (perLine <= 0 || total <= 0) {
                    GeLog(1, "CGuiResources: sprite schema %s has %d frames, %d per line\n", nameText, total, perLine);
                    delete set;
                    continue;
                }
                set->Init(texture, (uint32_t)total, (uint32_t)perLine);
            }
        } else if (const char* listText = XmlGetText("ImageList", h)) {
            CGeString listName(listText);
            if (!imageLists.Find(listName)) {
                listName = LoadImageListFile(CGeString(), DataRootPrefix + listText);
                if (listName.Length() == 0 || !imageLists.Find(listName)) {
                    GeLog(2, "CGuiResources: sprite schema %s: no image list %s\n", nameText, listText);
                    continue;
                }
            }
            GuiImageList* list = imageLists.Find(listName)->value;
            set = new CGmImageSet();
            set->InitFromList(list->Count() ? &(*list)[0] : nullptr, list->Count());
        } else {
            GeLog(2, "CGuiResources: sprite schema %s names no Image or ImageList\n", nameText);
            continue;
        }
        spriteSchemas[name] = set;
        schemaNames[Key(set)] = name;
    }
}

void CGuiResources::RemoveSpriteSchema(const CGeString& name)
{
    auto* node = spriteSchemas.Find(name);
    if (!node)
        return;
    CGmImageSet* set = node->value;
    spriteSchemas.Erase(node);
    schemaNames.EraseKey(Key(set));
    if (CGmTexture* texture = SchemaTexture(set)) {
        bool used = false;
        for (auto* other = spriteSchemas.first; other && !used; other = spriteSchemas.Next(other))
            used = SchemaTexture(other->value) == texture;
        auto* imageName = used ? nullptr : imageNames.Find(Key(texture));
        if (imageName) {
            images.EraseKey(imageName->value);
            imageNames.Erase(imageName);
            texture->Release();
        }
    }
    set->Release();
    delete set;
}

void CGuiResources::FreeAll()
{
    for (auto* n = fonts.first; n; n = fonts.Next(n))
        delete n->value;
    for (auto* n = spriteSchemas.first; n; n = spriteSchemas.Next(n)) {
        if (n->value) {
            n->value->Release();
            delete n->value;
        }
    }
    for (auto* n = images.first; n; n = images.Next(n)) {
        if (n->value)
            n->value->Release();
    }
    for (auto* n = imageLists.first; n; n = imageLists.Next(n)) {
        if (!n->value)
            continue;
        for (CGmTexture* texture : *n->value) {
            if (texture)
                texture->Release();
        }
        delete n->value;
    }
    strings.Clear();
    images.Clear();
    imageNames.Clear();
    imageLists.Clear();
    imageListNames.Clear();
    fonts.Clear();
    fontNames.Clear();
    spriteSchemas.Clear();
    schemaNames.Clear();
}
