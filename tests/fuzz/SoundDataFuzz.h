// The sound data sources' fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The input is a whole sound file. It is loaded both as a WAV and as an Ogg
// Vorbis source (no packet table), and every 3/8 s segment of each source
// that loads is read with GetBytes. A source must either refuse the file,
// saying why (an error box or a log line), and then be empty, or take it and
// answer every range inside its size and none past it. The outcome is whether
// either source took the file.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunSoundDataFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a broken rule.
int FuzzSoundData(const uint8_t* data, size_t size);
