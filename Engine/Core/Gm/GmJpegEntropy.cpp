// Entropy-coded data of the JPEG decoder: the bit reader, Huffman decoding,
// restarts, sequential MCU rows and the four progressive scan procedures
// (ITU-T T.81 F.2.2 and G.1.2).
#include "Engine/Core/Gm/GmJpegDecoder.h"

#include "Engine/Core/Gm/GmJpegHuffman.h"
#include "Engine/Core/Gm/GmJpegIdct.h"

#include <cstring>

namespace {
const int kMarkerRst0 = 0xD0;
}

// Tops the bit buffer up to at least 57 bits. Stuffed 0xFF 0x00 pairs give
// 0xFF; a marker is kept for the marker reader and zero bits stand in for
// the data that should have come before it.
void CGmJpegDecoder::FillBits()
{
    // Most of the time the next 8 bytes hold no 0xFF: take the whole bytes
    // that fit at once.
    if (!m_pendingMarker && m_bitCount <= 56 && m_inputPosition + 8 <= m_inputCount) {
        uint64_t word;
        memcpy(&word, m_input + m_inputPosition, sizeof(word));
        word = __builtin_bswap64(word);
        uint64_t inverted = ~word;
        bool hasFF = ((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) != 0;
        if (!hasFF) {
            int bytes = (64 - m_bitCount) >> 3;
            uint64_t taken = bytes == 8 ? word : word & ~(~0ull >> (8 * bytes));
            m_bitBuffer |= taken >> m_bitCount;
            m_bitCount += 8 * bytes;
            m_inputPosition += bytes;
        }
    }
    while (m_bitCount <= 56) {
        int byte = 0;
        if (!m_pendingMarker) {
            byte = GetByte();
            if (byte == 0xFF) {
                int next;
                do
                    next = GetByte();
                while (next == 0xFF);
                if (next != 0) {
                    m_pendingMarker = next;
                    byte = 0;
                }
            }
        }
        m_bitBuffer |= (uint64_t)byte << (56 - m_bitCount);
        m_bitCount += 8;
    }
}

int CGmJpegDecoder::GetBits(int count)
{
    if (count == 0)
        return 0;
    if (m_bitCount < count)
        FillBits();
    int value = (int)(m_bitBuffer >> (64 - count));
    m_bitBuffer <<= count;
    m_bitCount -= count;
    return value;
}

inline int CGmJpegDecoder::DecodeHuffman(const GmJpegHuffTable* table)
{
    if (m_bitCount < 16)
        FillBits();
    int entry = table->lookup[m_bitBuffer >> 56];
    if (entry < 0)
        return DecodeLongHuffman(table);
    int length = entry >> 8;
    m_bitBuffer <<= length;
    m_bitCount -= length;
    return entry & 0xFF;
}

// A code longer than 8 bits: each further length in turn.
int CGmJpegDecoder::DecodeLongHuffman(const GmJpegHuffTable* table)
{
    uint32_t next16 = (uint32_t)(m_bitBuffer >> 48);
    for (int length = 9; length <= 16; length++) {
        int32_t code = (int32_t)(next16 >> (16 - length));
        if (code <= table->maxCode[length]) {
            int index = code + table->valueOffset[length];
            if (index < 0 || index >= table->count)
                break;
            m_bitBuffer <<= length;
            m_bitCount -= length;
            return table->values[index];
        }
    }
    // No code of the table starts with these bits.
    Fail(kJpegBadData);
}

// The magnitude bits of a coefficient: values below 2^(size-1) are negative.
int CGmJpegDecoder::ReceiveExtend(int size)
{
    int value = GetBits(size);
    return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
}

void CGmJpegDecoder::CheckRestart()
{
    if (!m_restartInterval)
        return;
    if (m_restartsLeft == 0) {
        ProcessRestart();
        m_restartsLeft = m_restartInterval;
    }
    m_restartsLeft--;
}

// Expects the next restart marker in sequence; the bits left over before it
// are padding.
void CGmJpegDecoder::ProcessRestart()
{
    m_bitBuffer = 0;
    m_bitCount = 0;
    int marker = m_pendingMarker;
    m_pendingMarker = 0;
    if (!marker) {
        int c;
        int searched = 0;
        do {
            if (++searched > kJpegRestartSearchLimit)
                Fail(kJpegBadRestartMarker);
            c = GetByte();
        } while (c != 0xFF);
        do
            c = GetByte();
        while (c == 0xFF);
        marker = c;
    }
    if (marker != kMarkerRst0 + m_nextRestart)
        Fail(kJpegBadRestartMarker);
    for (int i = 0; i < m_scanComponentCount; i++)
        m_components[m_scanComponents[i]].dcPrediction = 0;
    m_endOfBandRun = 0;
    m_nextRestart = (m_nextRestart + 1) & 7;
}

int16_t* CGmJpegDecoder::BlockAt(Component& component, int bx, int by)
{
    return component.coefficients + ((uint64_t)by * component.blocksWide + bx) * 64;
}

// ---------------------------------------------------------------------------
// Sequential data: one MCU row into the components' row buffers.

void CGmJpegDecoder::DecodeMcuRow()
{
    for (int i = 0; i < m_componentCount; i++) {
        Component& component = m_components[i];
        memset(component.coefficients, 0, (size_t)component.v * component.blocksWide * 64 * sizeof(int16_t));
    }
    if (m_haveScan)
        DecodeScanRow(0, &CGmJpegDecoder::DecodeBlockSequential);
}

// One row of a scan: a row of MCUs, or for a one-component scan a row of
// blocks. row is the MCU row (block row) in the coefficient buffers.
void CGmJpegDecoder::DecodeScanRow(int row, BlockDecoder decoder)
{
    if (m_scanComponentCount == 1) {
        Component& component = m_components[m_scanComponents[0]];
        for (int bx = 0; bx < component.scanBlocksWide; bx++) {
            CheckRestart();
            (this->*decoder)(component, BlockAt(component, bx, row));
        }
        return;
    }
    for (int mx = 0; mx < m_mcusPerRow; mx++) {
        CheckRestart();
        for (int i = 0; i < m_scanComponentCount; i++) {
            Component& component = m_components[m_scanComponents[i]];
            for (int v = 0; v < component.v; v++)
                for (int h = 0; h < component.h; h++)
                    (this->*decoder)(component, BlockAt(component, mx * component.h + h, row * component.v + v));
        }
    }
}

// The DC term: a Huffman-coded size, then the difference to the prediction.
int CGmJpegDecoder::DecodeDc(Component& component)
{
    int size = DecodeHuffman(m_huffman[component.dcTable]);
    if (size > 15)
        Fail(kJpegBadData);
    int difference = size ? ReceiveExtend(size) : 0;
    component.dcPrediction = (int16_t)(component.dcPrediction + difference);
    return component.dcPrediction;
}

// AC terms start..end of a block, each scaled by 2^shift. Returns the run
// field of the end-of-band symbol that stopped it, or -1 when it reached end.
int CGmJpegDecoder::DecodeAcTerms(const GmJpegHuffTable* table, int16_t* block, int start, int end, int shift)
{
    for (int k = start; k <= end; k++) {
        if (m_bitCount < kJpegFastAcBits)
            FillBits();
        int32_t fast = table->fastAc[m_bitBuffer >> (64 - kJpegFastAcBits)];
        if (fast) {
            int used = fast & 15;
            m_bitBuffer <<= used;
            m_bitCount -= used;
            k += (fast >> 4) & 15;
            if (k > 63)
                Fail(kJpegDecodeError);
            block[kJpegNaturalOrder[k]] = (int16_t)((fast >> 8) * (1 << shift));
            continue;
        }
        int symbol = DecodeHuffman(table);
        int run = symbol >> 4;
        int size = symbol & 15;
        if (size) {
            k += run;
            if (k > 63)
                Fail(kJpegDecodeError);
            block[kJpegNaturalOrder[k]] = (int16_t)(ReceiveExtend(size) * (1 << shift));
        } else if (run == 15) {
            k += 15; // sixteen zeros
        } else {
            return run;
        }
    }
    return -1;
}

void CGmJpegDecoder::DecodeBlockSequential(Component& component, int16_t* block)
{
    block[0] = (int16_t)DecodeDc(component);
    DecodeAcTerms(m_huffman[4 + component.acTable], block, 1, 63, 0);
}

// ---------------------------------------------------------------------------
// Progressive data: every scan into the whole-image coefficient buffers.

void CGmJpegDecoder::DecodeScan(BlockDecoder decoder)
{
    int rows = m_scanComponentCount == 1 ? m_components[m_scanComponents[0]].scanBlocksHigh : m_mcusPerColumn;
    for (int row = 0; row < rows; row++)
        DecodeScanRow(row, decoder);
}

void CGmJpegDecoder::DecodeDcFirst(Component& component, int16_t* block)
{
    block[0] = (int16_t)(DecodeDc(component) * (1 << m_successiveLow));
}

void CGmJpegDecoder::DecodeDcRefine(Component&, int16_t* block)
{
    if (GetBits(1))
        block[0] = (int16_t)(block[0] | (1 << m_successiveLow));
}

void CGmJpegDecoder::DecodeAcFirst(Component& component, int16_t* block)
{
    if (m_endOfBandRun > 0) {
        m_endOfBandRun--;
        return;
    }
    int run = DecodeAcTerms(m_huffman[4 + component.acTable], block, m_spectralStart, m_spectralEnd, m_successiveLow);
    if (run >= 0) {
        // End of band: this block and the next (2^run - 1 + bits) ones.
        m_endOfBandRun = (1 << run) - 1;
        if (run)
            m_endOfBandRun += GetBits(run);
    }
}

// Refines the coefficients already nonzero by one bit each and places the new
// ones (of magnitude 1) among the zero coefficients.
void CGmJpegDecoder::DecodeAcRefine(Component& component, int16_t* block)
{
    const int plusOne = 1 << m_successiveLow;
    const int minusOne = -plusOne;
    int k = m_spectralStart;
    const int end = m_spectralEnd;

    auto refine = [&](int16_t* coefficient) {
        if (GetBits(1) && (*coefficient & plusOne) == 0)
            *coefficient = (int16_t)(*coefficient + (*coefficient >= 0 ? plusOne : minusOne));
    };

    if (m_endOfBandRun == 0) {
        const GmJpegHuffTable* ac = m_huffman[4 + component.acTable];
        for (; k <= end; k++) {
            int symbol = DecodeHuffman(ac);
            int run = symbol >> 4;
            int size = symbol & 15;
            int value = 0;
            if (size) {
                if (size != 1)
                    Fail(kJpegBadData);
                value = GetBits(1) ? plusOne : minusOne;
            } else if (run != 15) {
                m_endOfBandRun = 1 << run;
                if (run)
                    m_endOfBandRun += GetBits(run);
                break;
            }
            // Skip run zero coefficients, refining the nonzero ones passed.
            for (; k <= end; k++) {
                int16_t* coefficient = block + kJpegNaturalOrder[k];
                if (*coefficient != 0)
                    refine(coefficient);
                else if (--run < 0)
                    break;
            }
            if (value) {
                if (k > 63)
                    Fail(kJpegDecodeError);
                block[kJpegNaturalOrder[k]] = (int16_t)value;
            }
        }
    }
    if (m_endOfBandRun > 0) {
        // Inside an end-of-band run only the nonzero coefficients get bits.
        for (; k <= end; k++) {
            int16_t* coefficient = block + kJpegNaturalOrder[k];
            if (*coefficient != 0)
                refine(coefficient);
        }
        m_endOfBandRun--;
    }
}
