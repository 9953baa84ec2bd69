// The program-wide store of named GUI resources: string tables per language,
// images and image lists (textures), bitmap fonts and sprite schemas (image
// sets that controls and game screens turn into sprites).
//
// Load reads one GUI_RESOURCES file and adds to the tables; nothing is cleared
// between loads. Strings, standalone images, fonts and the image lists of PICS
// keep their first definition; a later sprite schema replaces an earlier one
// (also across files) and gives back the texture nobody else uses; an
// image-list file that names an existing list appends to it. Names compare
// byte by byte, case-sensitively. A bad element is skipped with a log line and
// loading goes on; FreeAll at shutdown empties everything in a fixed order.
//
// Choices: a font or schema whose FramesPerLine is 0 (or missing for a font),
// and a font without CodeTable, are skipped with a log line; texts are decoded
// whole, whatever their length; a look-up leaves no entry behind.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGmImageSet;
class CGmTexture;
class CGuiFont;
class TiXmlElement;

using GuiImageList = CGeArray<CGmTexture*>;

class CGuiResources {
public:
    static void Load(const CGeString& path, uint32_t languageIndex);
    static void FreeAll();

    // "RUS" for 1, "SPA" for 2, "ENG" for any other index.
    static CGeString GetLanguageCode();

    static CGuiFont* FindFont(const CGeString& name);
    static bool HasFont(const CGeString& name) { return FindFont(name) != nullptr; }
    // The name a font is kept under; empty when it is none of the table's.
    static CGeString FindFontName(const CGuiFont* font);
    static CGmImageSet* FindSpriteSchema(const CGeString& name);
    static bool HasSpriteSchema(const CGeString& name) { return FindSpriteSchema(name) != nullptr; }
    // The text of a string identifier; null when there is none.
    static const CGeWString* FindString(const CGeString& id);

    // The sections (public for the tests and the add-on loaders).
    static void LoadStringList(TiXmlElement* stringList);
    static void LoadImages(const CGeString& listName, TiXmlElement* element);
    static void LoadImageLists(TiXmlElement* pics);
    // The name of the list it filled; empty when the file gave none.
    static CGeString LoadImageListFile(const CGeString& listName, const CGeString& path);
    static void LoadFonts(TiXmlElement* fontList);
    static void LoadSpriteSchemas(TiXmlElement* schemas);
    static void RemoveSpriteSchema(const CGeString& name);

    static uint32_t languageIndex;
    static CGeStringMap<CGeWString> strings;
    static CGeStringMap<CGmTexture*> images;        // one reference each
    static CGeMap<uintptr_t, CGeString> imageNames; // by texture address
    static CGeStringMap<GuiImageList*> imageLists;  // one reference per element
    static CGeMap<uintptr_t, CGeString> imageListNames;
    static CGeStringMap<CGuiFont*> fonts; // owned
    static CGeMap<uintptr_t, CGeString> fontNames;
    static CGeStringMap<CGmImageSet*> spriteSchemas; // owned
    static CGeMap<uintptr_t, CGeString> schemaNames;

private:
    // The list of that name, made empty when missing.
    static GuiImageList* ListNamed(const CGeString& name);
    // Enters a texture under a name unless the name is taken; takes a
    // reference for the table when it does. True when entered.
    static bool AddImage(const CGeString& name, CGmTexture* texture);
};

// The name of a standalone image without Name: its directory relative to the
// data root, "/", its base name without extension.
CGeString GuiDerivedImageName(const CGeString& fileName);
