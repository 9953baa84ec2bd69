// Headers, frame set-up, working memory and row output of the JPEG decoder.
// The entropy-coded data is read in GmJpegEntropy.cpp.
#include "Engine/Core/Gm/GmJpegDecoder.h"

#include "Engine/Core/Gm/GeInputStream.h"
#include "Engine/Core/Gm/GmJpegHuffman.h"
#include "Engine/Core/Gm/GmJpegIdct.h"

#include <cstdlib>
#include <cstring>

namespace {

// Thrown by Fail and caught only by the entry points.
struct GmJpegStop {};

enum {
    kMarkerSof0 = 0xC0,
    kMarkerSof1 = 0xC1,
    kMarkerSof2 = 0xC2,
    kMarkerDht = 0xC4,
    kMarkerJpg = 0xC8,
    kMarkerSof9 = 0xC9,
    kMarkerDac = 0xCC,
    kMarkerSof15 = 0xCF,
    kMarkerRst0 = 0xD0,
    kMarkerRst7 = 0xD7,
    kMarkerSoi = 0xD8,
    kMarkerEoi = 0xD9,
    kMarkerSos = 0xDA,
    kMarkerDqt = 0xDB,
    kMarkerDri = 0xDD,
    kMarkerTem = 0x01,
};

} // namespace

// ---------------------------------------------------------------------------
// Entry points. Each catches the unwinding of Fail; nothing else throws.

CGmJpegDecoder::CGmJpegDecoder(CGeInputStream* stream, bool useMmx)
    : m_stream(stream), m_useMmx(useMmx)
{
    memset(m_components, 0, sizeof(m_components));
    memset(m_quant, 0, sizeof(m_quant));
    memset(m_quantScaled, 0, sizeof(m_quantScaled));
    memset(m_scanComponents, 0, sizeof(m_scanComponents));
    try {
        ReadHeaders();
    } catch (const GmJpegStop&) {
    }
}

CGmJpegDecoder::~CGmJpegDecoder()
{
    FreeAll();
}

int CGmJpegDecoder::Begin()
{
    if (m_ready)
        return 0;
    if (m_error || m_released)
        return -1;
    try {
        SetupFrame();
        // An image without a scan has no pixels to show: that is an error,
        // not a plain grey picture.
        if (m_progressive) {
            DecodeProgressiveScans();
        } else {
            if (!LocateNextScan())
                Fail(kJpegUnexpectedMarker);
            StartScan();
        }
        m_ready = true;
        return 0;
    } catch (const GmJpegStop&) {
        return -1;
    }
}

int CGmJpegDecoder::DecodeRow(const uint8_t** row, uint32_t* rowBytes)
{
    if (!m_ready || m_error)
        return -1;
    if (m_rowsDelivered >= m_height)
        return 1;
    try {
        if (m_rowInMcu >= m_mcuHeight) {
            if (!m_progressive)
                DecodeMcuRow();
            TransformMcuRow();
            m_mcuRowsDone++;
            m_rowInMcu = 0;
            if (!m_progressive && m_mcuRowsDone == m_mcusPerColumn && m_haveScan)
                ProcessMarkers(); // reads up to EOI
        }
        if (m_scanType == kJpegGreyscale) {
            const Component& grey = m_components[0];
            *row = grey.plane + m_rowInMcu * grey.planePitch;
        } else {
            ConvertRow(m_rowInMcu);
            *row = m_rowBuffer;
        }
        *rowBytes = (uint32_t)(m_width * m_bytesPerPixel);
        m_rowInMcu++;
        m_rowsDelivered++;
        return 0;
    } catch (const GmJpegStop&) {
        return kJpegDecodeError;
    }
}

void CGmJpegDecoder::Fail(int32_t code)
{
    m_error = code;
    m_ready = false;
    FreeAll();
    throw GmJpegStop();
}

// ---------------------------------------------------------------------------
// Working memory: every block is cleared and recorded so that one call frees
// them all, whichever routine failed.

void* CGmJpegDecoder::Allocate(uint64_t size)
{
    if (m_allocationCount >= kJpegMaxAllocations)
        Fail(kJpegTooManyBlocks);
    if (size > (uint64_t)SIZE_MAX - 8)
        Fail(kJpegNotEnoughMemory);
    void* block = calloc(1, (size_t)size + 8);
    if (!block)
        Fail(kJpegNotEnoughMemory);
    m_allocations[m_allocationCount++] = block;
    uintptr_t address = ((uintptr_t)block + 7) & ~(uintptr_t)7;
    return reinterpret_cast<void*>(address);
}

// The decoder cannot go on without its memory: afterwards it only fails.
void CGmJpegDecoder::FreeAll()
{
    m_ready = false;
    m_released = true;
    for (int i = 0; i < m_allocationCount; i++)
        free(m_allocations[i]);
    m_allocationCount = 0;
    for (GmJpegHuffTable*& table : m_huffman)
        table = nullptr;
    for (Component& component : m_components) {
        component.coefficients = nullptr;
        component.plane = nullptr;
    }
    m_rowBuffer = nullptr;
}

// ---------------------------------------------------------------------------
// Input. Once the stream is exhausted the reader yields 0xFF, 0xD9 forever, so
// a truncated stream ends in EOI markers.

void CGmJpegDecoder::FillInput()
{
    m_inputPosition = 0;
    m_inputCount = 0;
    while (m_inputCount < kJpegInputBufferSize && !m_streamEnded) {
        uint32_t wanted = (uint32_t)(kJpegInputBufferSize - m_inputCount);
        bool end = false;
        int32_t got = m_stream ? m_stream->Read(m_input + m_inputCount, wanted, &end) : 0;
        if (got == -1)
            Fail(kJpegStreamReadError);
        // A stream that reports more than it was asked for, or a negative
        // count, cannot be trusted with the buffer; one that delivers nothing
        // without saying so would never end.
        if (got < 0 || (uint32_t)got > wanted)
            Fail(kJpegStreamReadError);
        m_inputCount += got;
        if (end || got == 0)
            m_streamEnded = true;
    }
}

int CGmJpegDecoder::GetByteSlow()
{
    if (!m_streamEnded) {
        FillInput();
        if (m_inputPosition < m_inputCount)
            return m_input[m_inputPosition++];
    }
    m_ranPastEnd = true;
    m_fillToggle = !m_fillToggle;
    return m_fillToggle ? 0xFF : kMarkerEoi;
}

int CGmJpegDecoder::GetWord()
{
    int high = GetByte();
    return (high << 8) | GetByte();
}

void CGmJpegDecoder::SkipBytes(int count)
{
    while (count-- > 0)
        GetByte();
}

// ---------------------------------------------------------------------------
// Markers and header segments.

void CGmJpegDecoder::ReadHeaders()
{
    FindStartOfImage();
    int marker = ProcessMarkers();
    switch (marker) {
    case kMarkerSof0:
    case kMarkerSof1:
    case kMarkerSof2:
        ReadSof(marker);
        break;
    case kMarkerSof9:
        Fail(kJpegNoArithmeticSupport);
    default:
        Fail(kJpegUnsupportedMarker);
    }
}

// Accepts up to 511 bytes of other data before the SOI marker.
void CGmJpegDecoder::FindStartOfImage()
{
    int previous = GetByte();
    int current = GetByte();
    for (int i = 0; !(previous == 0xFF && current == kMarkerSoi); i++) {
        if (i >= 511)
            Fail(kJpegNotJpeg);
        previous = current;
        current = GetByte();
    }
    // The next byte must start a marker; the marker reader goes on from it.
    if (GetByte() != 0xFF)
        Fail(kJpegNotJpeg);
    m_markerStarted = true;
}

// The next marker code: other bytes up to a 0xFF and fill bytes are skipped,
// and 0xFF 0x00 is no marker. A marker met inside entropy-coded data is
// taken first.
int CGmJpegDecoder::NextMarker()
{
    if (m_pendingMarker) {
        int marker = m_pendingMarker;
        m_pendingMarker = 0;
        return marker;
    }
    for (;;) {
        int c = 0xFF;
        if (!m_markerStarted) {
            do
                c = GetByte();
            while (c != 0xFF);
        }
        m_markerStarted = false;
        do
            c = GetByte();
        while (c == 0xFF);
        if (c != 0)
            return c;
    }
}

// Handles table segments until a frame, scan or image marker, which it returns.
int CGmJpegDecoder::ProcessMarkers()
{
    for (;;) {
        int marker = NextMarker();
        switch (marker) {
        case kMarkerDht:
            ReadDht();
            break;
        case kMarkerDqt:
            ReadDqt();
            break;
        case kMarkerDri:
            ReadDri();
            break;
        case kMarkerDac:
            Fail(kJpegNoArithmeticSupport);
        case kMarkerTem:
        case kMarkerJpg:
            Fail(kJpegUnexpectedMarker);
        case kMarkerSoi:
        case kMarkerEoi:
        case kMarkerSos:
            return marker;
        default:
            if (marker >= kMarkerRst0 && marker <= kMarkerRst7)
                Fail(kJpegUnexpectedMarker);
            if (marker >= kMarkerSof0 && marker <= kMarkerSof15)
                return marker; // every SOFn; DHT, JPG and DAC are handled above
            SkipVariableMarker();
            break;
        }
    }
}

void CGmJpegDecoder::SkipVariableMarker()
{
    int length = GetWord();
    if (length < 2)
        Fail(kJpegBadVariableMarker);
    SkipBytes(length - 2);
}

void CGmJpegDecoder::ReadDht()
{
    int left = GetWord();
    if (left < 2)
        Fail(kJpegBadDhtMarker);
    left -= 2;
    while (left > 0) {
        if (left < 17)
            Fail(kJpegBadDhtMarker);
        int index = GetByte();
        uint8_t counts[17];
        int total = 0;
        counts[0] = 0;
        for (int i = 1; i <= 16; i++) {
            counts[i] = (uint8_t)GetByte();
            total += counts[i];
        }
        if (total > 255)
            Fail(kJpegBadDhtCounts);
        int tableClass = index >> 4;
        int tableNumber = index & 15;
        if (tableClass > 1 || tableNumber > 3)
            Fail(kJpegBadDhtIndex);
        left -= 17;
        if (total > left)
            Fail(kJpegBadDhtMarker);
        uint8_t values[256];
        for (int i = 0; i < total; i++)
            values[i] = (uint8_t)GetByte();
        left -= total;

        int slot = tableClass * 4 + tableNumber;
        if (!m_huffman[slot])
            m_huffman[slot] = static_cast<GmJpegHuffTable*>(Allocate(sizeof(GmJpegHuffTable)));
        if (!JpegBuildHuffTable(counts, values, m_huffman[slot]))
            Fail(kJpegBadDhtCounts);
    }
}

void CGmJpegDecoder::ReadDqt()
{
    int left = GetWord();
    if (left < 2)
        Fail(kJpegBadDqtMarker);
    left -= 2;
    while (left > 0) {
        int info = GetByte();
        int number = info & 15;
        bool wide = (info >> 4) != 0;
        if (number >= 4)
            Fail(kJpegBadDqtTable);
        if (left < (wide ? 129 : 65))
            Fail(kJpegBadDqtLength);
        left -= wide ? 129 : 65;
        for (int k = 0; k < 64; k++) {
            int value = wide ? GetWord() : GetByte();
            m_quant[number][kJpegNaturalOrder[k]] = (uint16_t)value;
        }
        m_quantDefined[number] = true;
        m_quantFitsFast[number] = JpegScaleQuantTable(m_quant[number], m_quantScaled[number]);
    }
}

void CGmJpegDecoder::ReadDri()
{
    if (GetWord() != 4)
        Fail(kJpegBadDriLength);
    m_restartInterval = GetWord();
}

void CGmJpegDecoder::ReadSof(int marker)
{
    m_progressive = marker == kMarkerSof2;
    int length = GetWord();
    if (GetByte() != 8)
        Fail(kJpegBadPrecision);
    m_height = GetWord();
    if (m_height < 1 || m_height > kJpegMaxDimension)
        Fail(kJpegBadHeight);
    m_width = GetWord();
    if (m_width < 1 || m_width > kJpegMaxDimension)
        Fail(kJpegBadWidth);
    m_componentCount = GetByte();
    if (m_componentCount < 1 || m_componentCount > kJpegMaxComponents)
        Fail(kJpegTooManyComponents);
    if (length != 8 + 3 * m_componentCount)
        Fail(kJpegBadSofLength);
    m_bytesPerPixel = m_componentCount == 1 ? 1 : 4;
    for (int i = 0; i < m_componentCount; i++) {
        Component& component = m_components[i];
        component.id = GetByte();
        int sampling = GetByte();
        component.h = sampling >> 4;
        component.v = sampling & 15;
        component.quantTable = GetByte();
    }
}

void CGmJpegDecoder::ReadSos()
{
    int length = GetWord();
    int count = GetByte();
    if (count < 1 || count > kJpegMaxComponents || length != 6 + 2 * count)
        Fail(kJpegBadSosLength);
    for (int i = 0; i < count; i++) {
        int id = GetByte();
        int tables = GetByte();
        int found = -1;
        for (int c = 0; c < m_componentCount && found < 0; c++) {
            if (m_components[c].id == id)
                found = c;
        }
        if (found < 0)
            Fail(kJpegBadSosComponentId);
        m_scanComponents[i] = found;
        m_components[found].dcTable = tables >> 4;
        m_components[found].acTable = tables & 15;
    }
    m_scanComponentCount = count;
    m_spectralStart = GetByte();
    m_spectralEnd = GetByte();
    int successive = GetByte();
    m_successiveHigh = successive >> 4;
    m_successiveLow = successive & 15;
}

// ---------------------------------------------------------------------------
// Frame set-up.

void CGmJpegDecoder::SetupFrame()
{
    if (m_componentCount == 1) {
        // One component is always coded block by block, whatever its sampling.
        m_scanType = kJpegGreyscale;
        m_components[0].h = 1;
        m_components[0].v = 1;
        m_blocksPerMcu = 1;
        m_mcuWidth = 8;
        m_mcuHeight = 8;
        m_bytesPerPixel = 1;
    } else if (m_componentCount == 3) {
        const Component* c = m_components;
        if (c[1].h != 1 || c[1].v != 1 || c[2].h != 1 || c[2].v != 1)
            Fail(kJpegUnsupportedSampFactors);
        int sampling = c[0].h * 16 + c[0].v;
        switch (sampling) {
        case 0x11: m_scanType = kJpegYH1V1; m_blocksPerMcu = 3; m_mcuWidth = 8; m_mcuHeight = 8; break;
        case 0x21: m_scanType = kJpegYH2V1; m_blocksPerMcu = 4; m_mcuWidth = 16; m_mcuHeight = 8; break;
        case 0x12: m_scanType = kJpegYH1V2; m_blocksPerMcu = 4; m_mcuWidth = 8; m_mcuHeight = 16; break;
        case 0x22: m_scanType = kJpegYH2V2; m_blocksPerMcu = 6; m_mcuWidth = 16; m_mcuHeight = 16; break;
        default: Fail(kJpegUnsupportedSampFactors);
        }
        m_bytesPerPixel = 4;
    } else {
        Fail(kJpegUnsupportedColorspace);
    }

    m_mcusPerRow = (m_width + m_mcuWidth - 1) / m_mcuWidth;
    m_mcusPerColumn = (m_height + m_mcuHeight - 1) / m_mcuHeight;
    if (m_mcusPerRow * m_blocksPerMcu > kJpegMaxBlocksPerMcuRow)
        Fail(kJpegBadData);

    int maxH = m_components[0].h;
    int maxV = m_components[0].v;
    for (int i = 0; i < m_componentCount; i++) {
        Component& component = m_components[i];
        component.blocksWide = m_mcusPerRow * component.h;
        component.blocksHigh = m_mcusPerColumn * component.v;
        // A scan of this component alone visits only the blocks that hold
        // its samples, not the padding of the last MCU.
        int samplesWide = (m_width * component.h + maxH - 1) / maxH;
        int samplesHigh = (m_height * component.v + maxV - 1) / maxV;
        component.scanBlocksWide = (samplesWide + 7) / 8;
        component.scanBlocksHigh = (samplesHigh + 7) / 8;

        uint64_t blockRows = m_progressive ? (uint64_t)component.blocksHigh : (uint64_t)component.v;
        component.coefficients = static_cast<int16_t*>(Allocate(blockRows * component.blocksWide * 64 * sizeof(int16_t)));
        component.planePitch = component.blocksWide * 8;
        component.plane = static_cast<uint8_t*>(Allocate((uint64_t)component.planePitch * component.v * 8));
    }
    if (m_scanType != kJpegGreyscale)
        m_rowBuffer = static_cast<uint8_t*>(Allocate((uint64_t)m_mcusPerRow * m_mcuWidth * 4));

    JpegBuildColorTables(&m_colorTables);
    m_rowInMcu = m_mcuHeight; // no decoded MCU row yet
}

// Both table kinds the scan reads must exist, and each component's
// quantisation table.
void CGmJpegDecoder::CheckScanTables()
{
    for (int i = 0; i < m_scanComponentCount; i++) {
        const Component& component = m_components[m_scanComponents[i]];
        if (component.quantTable > 3 || !m_quantDefined[component.quantTable])
            Fail(kJpegUndefinedQuantTable);
        bool needDc = m_progressive ? (m_spectralStart == 0 && m_successiveHigh == 0) : true;
        bool needAc = m_progressive ? m_spectralEnd > 0 : true;
        if (needDc && (component.dcTable > 3 || !m_huffman[component.dcTable]))
            Fail(kJpegUndefinedHuffTable);
        if (needAc && (component.acTable > 3 || !m_huffman[4 + component.acTable]))
            Fail(kJpegUndefinedHuffTable);
    }
}

void CGmJpegDecoder::CheckProgressiveScan()
{
    int start = m_spectralStart;
    int end = m_spectralEnd;
    if (start > end || end > 63)
        Fail(kJpegBadSpectral);
    if (start == 0 && end != 0)
        Fail(kJpegBadSpectral);
    if (start != 0 && m_scanComponentCount != 1)
        Fail(kJpegBadSpectral);
    // Shifts beyond 13 bits would push a coefficient out of its 16 bits.
    if (m_successiveHigh > 13 || m_successiveLow > 13)
        Fail(kJpegBadSuccessive);
    if (m_successiveHigh != 0 && m_successiveLow != m_successiveHigh - 1)
        Fail(kJpegBadSuccessive);
}

// Processes markers up to the next scan; false at the end of the image.
bool CGmJpegDecoder::LocateNextScan()
{
    int marker = ProcessMarkers();
    if (marker == kMarkerEoi)
        return false;
    if (marker != kMarkerSos)
        Fail(kJpegUnexpectedMarker);
    ReadSos();
    // A sequential image is decoded row by row from one scan that holds
    // every component; other layouts would need the whole image buffered.
    if (!m_progressive && m_scanComponentCount != m_componentCount)
        Fail(kJpegBadSosLength);
    return true;
}

void CGmJpegDecoder::StartScan()
{
    if (m_progressive)
        CheckProgressiveScan();
    CheckScanTables();
    for (int i = 0; i < m_scanComponentCount; i++)
        m_components[m_scanComponents[i]].dcPrediction = 0;
    m_bitBuffer = 0;
    m_bitCount = 0;
    m_pendingMarker = 0;
    m_endOfBandRun = 0;
    m_restartsLeft = m_restartInterval;
    m_nextRestart = 0;
    m_haveScan = true;
}

void CGmJpegDecoder::DecodeProgressiveScans()
{
    if (!LocateNextScan())
        Fail(kJpegUnexpectedMarker);
    do {
        StartScan();
        bool dc = m_spectralStart == 0;
        bool first = m_successiveHigh == 0;
        if (dc)
            DecodeScan(first ? &CGmJpegDecoder::DecodeDcFirst : &CGmJpegDecoder::DecodeDcRefine);
        else
            DecodeScan(first ? &CGmJpegDecoder::DecodeAcFirst : &CGmJpegDecoder::DecodeAcRefine);
    } while (LocateNextScan());
}

// ---------------------------------------------------------------------------
// Rows.

void CGmJpegDecoder::TransformMcuRow()
{
    for (int i = 0; i < m_componentCount; i++) {
        Component& component = m_components[i];
        int firstBlockRow = m_progressive ? m_mcuRowsDone * component.v : 0;
        bool fast = m_useMmx && m_quantFitsFast[component.quantTable & 3];
        const uint16_t* quant = fast ? m_quantScaled[component.quantTable & 3] : m_quant[component.quantTable & 3];
        for (int by = 0; by < component.v; by++) {
            const int16_t* block = component.coefficients + (uint64_t)(firstBlockRow + by) * component.blocksWide * 64;
            uint8_t* out = component.plane + by * 8 * component.planePitch;
            for (int bx = 0; bx < component.blocksWide; bx++, block += 64, out += 8) {
                if (fast)
                    JpegIdctFast(block, quant, out, component.planePitch);
                else
                    JpegIdctInteger(block, quant, out, component.planePitch);
            }
        }
    }
}

// One output row from the planes of the current MCU row. Chroma samples are
// replicated: horizontally for H2, and one chroma row serves two output rows
// for V2.
void CGmJpegDecoder::ConvertRow(int rowInMcu)
{
    const Component* c = m_components;
    int chromaRow = c[0].v == 2 ? rowInMcu >> 1 : rowInMcu;
    int chromaShift = c[0].h == 2 ? 1 : 0;
    const uint8_t* y = c[0].plane + rowInMcu * c[0].planePitch;
    const uint8_t* cb = c[1].plane + chromaRow * c[1].planePitch;
    const uint8_t* cr = c[2].plane + chromaRow * c[2].planePitch;
    JpegConvertRow(m_colorTables, y, cb, cr, m_width, chromaShift, m_rowBuffer);
}
