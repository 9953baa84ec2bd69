// The video decoder's fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The input is a whole video file: it is opened, then every frame (up to 256)
// goes through NextFrame and CopyFrameToTexture into the texture's image,
// followed by one seek back to the start. No device is needed; error boxes
// are answered as if none could be shown.
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzVideoDecoder(const uint8_t* data, size_t size);
