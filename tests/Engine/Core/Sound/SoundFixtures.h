// Sound files for the sound tests and benchmarks, written here: canonical
// 44-byte WAV files and Ogg Vorbis clips encoded with libvorbisenc, plus
// libvorbisfile's decode of a clip as the reference the engine's decoder is
// held to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A canonical RIFF/WAVE PCM file around the given PCM bytes.
std::string WaveFile(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& pcm);

// 16-bit PCM whose every sample differs from its neighbours: frame f, channel
// c holds (f * channels + c) * 7 + c, wrapped to 16 bits. Equal output proves
// the bytes came from the right place.
std::string RampPcm16(uint32_t frames, uint16_t channels);

// An Ogg Vorbis clip of a few tones that move in pitch, seconds long.
std::string VorbisClip(uint16_t channels, uint32_t rate, double seconds);

// The clip decoded by libvorbisfile (ov_read_float) and converted to
// interleaved 16-bit with the engine's converter: the bytes GetBytes must give.
std::string VorbisReference(const std::string& clip);

// A ".tbl" table: 8 bytes, N, the total, then the entries; n overrides N.
std::string PacketTableFile(const std::vector<uint32_t>& entries, uint32_t total, int64_t n = -1);
