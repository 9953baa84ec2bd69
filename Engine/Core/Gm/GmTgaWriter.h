// Writes a raw image as an uncompressed TGA file: the save-slot preview
// picture goes to disk through here, and the image loader reads it back.
#pragma once

#include "Engine/Core/Common/GeString.h"

class CGmImage;

// Rows keep the image's order (top row first, marked in the header) and its
// pixel byte order; row padding is left out. Replaces an existing file.
// Nothing is written for an image that is not raw; false then, or when the
// file cannot be written whole.
bool WriteImageTga(const CGmImage& image, const CGeString& path);
