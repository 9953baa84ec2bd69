// The video decoder's fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The input is a whole video file: it is opened, then every frame (up to 256)
// goes through NextFrame and CopyFrameToTexture into the texture's image,
// followed by one seek back to the start. No device is needed; error boxes
// are answered as if none could be shown. The decoder must either refuse the
// file, saying why (an error box or a log line), and then do nothing, or take
// it and reach every frame asked for; the outcome is whether it opened.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunVideoDecoderFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a broken rule.
int FuzzVideoDecoder(const uint8_t* data, size_t size);
