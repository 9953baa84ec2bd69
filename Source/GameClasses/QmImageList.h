// Image lists: XML files whose "imagelist" root names one picture per "image"
// element; shared by the location loader and the mini-games.
#pragma once

#include "Engine/Core/Common/GeArray.h"

class CGmTexture;

// Appends one texture per "image" element (its "filename" under the data
// root; a missing attribute asks for the data root alone) to textures, which
// keeps one reference to each. False when the file cannot be loaded or has no
// "imagelist" element.
bool LoadImageList(const char* fileName, CGeArray<CGmTexture*>& textures);
