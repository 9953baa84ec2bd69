// The engine's own JPEG decoder: baseline and extended sequential Huffman and
// progressive Huffman streams (ITU-T T.81) with the JFIF colour convention.
//
// One decoder reads one stream: construction reads the headers up to the
// frame header, Begin prepares decoding (and decodes every scan of a
// progressive stream), DecodeRow hands out the image one row at a time, top
// first. Rows are 1 byte per pixel for greyscale and 4 bytes (R, G, B and an
// unused byte) for colour.
//
// Every failure is a negative error code (GmJpegError). The decoding routines
// never test results: a failed check stores its code, frees all working
// memory and unwinds to the running entry point, which reports it. Input that
// is cut short reads as a run of EOI markers, so no read passes the input; a
// stream with no scan at all is an error (kJpegUnexpectedMarker), one cut
// inside its scan decodes to the end and says so (IsTruncated).
#pragma once

#include "Engine/Core/Gm/GmJpegColor.h"

#include <cstdint>

class CGeInputStream;

enum GmJpegError : int32_t {
    kJpegBadDhtCounts = -200,        // DHT code counts add up to more than 255 (or overfill the code space)
    kJpegBadDhtIndex = -201,         // DHT table class or number outside the 8 slots
    kJpegBadDhtMarker = -202,        // DHT segment too short
    kJpegBadDqtMarker = -203,        // DQT segment length below 2
    kJpegBadDqtTable = -204,         // DQT table number 4 or above
    kJpegBadPrecision = -205,        // sample precision other than 8
    kJpegBadHeight = -206,           // image height 0 or above 8192
    kJpegBadWidth = -207,            // image width 0 or above 8192
    kJpegTooManyComponents = -208,   // more than 4 components (or none)
    kJpegBadSofLength = -209,        // SOF length does not match the component count
    kJpegBadVariableMarker = -210,   // variable-length segment with a length below 2
    kJpegBadDriLength = -211,        // DRI length other than 4
    kJpegBadSosLength = -212,        // SOS length or component count wrong
    kJpegBadSosComponentId = -213,   // SOS names a component the frame does not have
    kJpegNoArithmeticSupport = -215, // arithmetic coding (DAC or SOF9)
    kJpegUnexpectedMarker = -216,    // TEM, JPG, RSTn outside a scan, or no SOS where a scan must start
    kJpegNotJpeg = -217,             // no start-of-image marker within the first 513 bytes
    kJpegUnsupportedMarker = -218,   // unsupported frame type
    kJpegBadDqtLength = -219,        // DQT segment shorter than its tables
    kJpegTooManyBlocks = -221,       // more than 100 working-memory blocks
    kJpegUndefinedQuantTable = -222, // a scan component's quantisation table is not defined
    kJpegUndefinedHuffTable = -223,  // a scan component's Huffman table is not defined
    kJpegUnsupportedColorspace = -225, // 2 or 4 components
    kJpegUnsupportedSampFactors = -226, // sampling factors other than 1x1 chroma with 1x1..2x2 luma
    kJpegDecodeError = -227,         // coefficient index beyond 63; also a failed row request
    kJpegBadRestartMarker = -228,    // restart marker missing or out of sequence
    kJpegBadData = -229,             // MCU row too wide; inconsistent entropy-coded data
    kJpegBadSpectral = -230,         // bad spectral selection in a progressive scan
    kJpegBadSuccessive = -231,       // bad successive approximation in a progressive scan
    kJpegStreamReadError = -232,     // the input stream reported a read error
    kJpegNotEnoughMemory = -233,     // out of memory
};

enum {
    kJpegMaxDimension = 8192,
    kJpegMaxComponents = 4,
    kJpegInputBufferSize = 4096,
    kJpegMaxAllocations = 100,
    kJpegMaxBlocksPerMcuRow = 6144,
    kJpegRestartSearchLimit = 1536,
};

// Scan types: how the colour converter reads the component planes.
enum GmJpegScanType {
    kJpegGreyscale = 0,
    kJpegYH1V1 = 1,
    kJpegYH2V1 = 2,
    kJpegYH1V2 = 3,
    kJpegYH2V2 = 4,
};

struct GmJpegHuffTable;

class CGmJpegDecoder {
public:
    // Reads the stream up to and including the frame header. Errors are kept
    // in the error code; test GetErrorCode right after construction.
    // useMmx selects the fast (scaled) IDCT.
    CGmJpegDecoder(CGeInputStream* stream, bool useMmx);
    ~CGmJpegDecoder();

    CGmJpegDecoder(const CGmJpegDecoder&) = delete;
    CGmJpegDecoder& operator=(const CGmJpegDecoder&) = delete;

    // 0 when ready to deliver rows, -1 on failure (see GetErrorCode).
    int Begin();

    // 0 when a row was delivered, 1 when all rows have been, negative on
    // failure: -1 when not ready or already failed, kJpegDecodeError when the
    // row could not be decoded. *row stays valid until the next call and holds
    // *rowBytes bytes: width pixels of GetBytesPerPixel bytes each.
    int DecodeRow(const uint8_t** row, uint32_t* rowBytes);

    // Frees every block of working memory; later calls fail.
    void FreeAll();

    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetComponentCount() const { return m_componentCount; }
    int GetBytesPerPixel() const { return m_bytesPerPixel; }
    int32_t GetErrorCode() const { return m_error; }
    bool IsProgressive() const { return m_progressive; }
    // The stream ended before the decoder was done with it: what came after
    // was made up of the EOI fill.
    bool IsTruncated() const { return m_ranPastEnd; }
    int GetScanType() const { return m_scanType; }

private:
    struct Component {
        int id, h, v, quantTable;
        // Set up by Begin.
        int blocksWide, blocksHigh;         // coefficient grid (whole MCUs)
        int scanBlocksWide, scanBlocksHigh; // blocks a one-component scan visits
        int16_t* coefficients;              // progressive: whole image; sequential: one MCU row
        uint8_t* plane;                     // decoded samples of one MCU row
        int planePitch;
        // Per scan.
        int dcPrediction;
        int dcTable, acTable;
    };
    typedef void (CGmJpegDecoder::*BlockDecoder)(Component& component, int16_t* block);

    [[noreturn]] void Fail(int32_t code);
    void* Allocate(uint64_t size);

    // Input.
    int GetByte()
    {
        if (m_inputPosition < m_inputCount)
            return m_input[m_inputPosition++];
        return GetByteSlow();
    }
    int GetByteSlow();
    void FillInput();
    int GetWord();
    void SkipBytes(int count);

    // Headers and markers.
    void ReadHeaders();
    void FindStartOfImage();
    int NextMarker();
    int ProcessMarkers();
    void ReadDht();
    void ReadDqt();
    void ReadDri();
    void ReadSof(int marker);
    void ReadSos();
    void SkipVariableMarker();

    // Frame and scans.
    void SetupFrame();
    void CheckScanTables();
    void CheckProgressiveScan();
    bool LocateNextScan();
    void StartScan();
    void DecodeProgressiveScans();
    void DecodeScan(BlockDecoder decoder);
    void DecodeScanRow(int row, BlockDecoder decoder);
    int16_t* BlockAt(Component& component, int bx, int by);

    // Entropy-coded data.
    void FillBits();
    int GetBits(int count);
    int DecodeHuffman(const GmJpegHuffTable* table);
    int DecodeLongHuffman(const GmJpegHuffTable* table);
    int ReceiveExtend(int size);
    void CheckRestart();
    void ProcessRestart();
    int DecodeDc(Component& component);
    int DecodeAcTerms(const GmJpegHuffTable* table, int16_t* block, int start, int end, int shift);
    void DecodeBlockSequential(Component& component, int16_t* block);
    void DecodeDcFirst(Component& component, int16_t* block);
    void DecodeDcRefine(Component& component, int16_t* block);
    void DecodeAcFirst(Component& component, int16_t* block);
    void DecodeAcRefine(Component& component, int16_t* block);

    // Rows.
    void DecodeMcuRow();
    void TransformMcuRow();
    void ConvertRow(int rowInMcu);

    // Image.
    int m_width = 0;
    int m_height = 0;
    CGeInputStream* m_stream;
    bool m_progressive = false;
    int m_scanType = kJpegGreyscale;
    int m_componentCount = 0;
    Component m_components[kJpegMaxComponents];

    // Tables.
    uint16_t m_quant[4][64];       // natural order
    uint16_t m_quantScaled[4][64]; // natural order, scaled for the fast IDCT
    bool m_quantDefined[4] = {};
    bool m_quantFitsFast[4] = {};
    GmJpegHuffTable* m_huffman[8] = {};

    // Restarts.
    int m_restartInterval = 0;
    int m_restartsLeft = 0;
    int m_nextRestart = 0;

    // MCU geometry.
    int m_mcuWidth = 8;
    int m_mcuHeight = 8;
    int m_mcusPerRow = 0;
    int m_mcusPerColumn = 0;
    int m_blocksPerMcu = 0;
    int m_bytesPerPixel = 1;

    // Current scan.
    int m_scanComponents[kJpegMaxComponents];
    int m_scanComponentCount = 0;
    int m_spectralStart = 0;
    int m_spectralEnd = 63;
    int m_successiveHigh = 0;
    int m_successiveLow = 0;
    int m_endOfBandRun = 0;
    bool m_haveScan = false;

    // Input buffer and bit reader.
    uint8_t m_input[kJpegInputBufferSize];
    int m_inputPosition = 0;
    int m_inputCount = 0;
    bool m_streamEnded = false;
    bool m_fillToggle = false;
    bool m_ranPastEnd = false;    // a fill byte was handed out
    uint64_t m_bitBuffer = 0; // next bits at the top
    int m_bitCount = 0;
    int m_pendingMarker = 0;  // a marker met inside entropy-coded data
    bool m_markerStarted = false; // its 0xFF already taken

    GmJpegColorTables m_colorTables;

    // Row output.
    uint8_t* m_rowBuffer = nullptr;
    int m_mcuRowsDone = 0;
    int m_rowInMcu = 0;
    int m_rowsDelivered = 0;

    // Working memory.
    void* m_allocations[kJpegMaxAllocations];
    int m_allocationCount = 0;

    int32_t m_error = 0;
    bool m_ready = false;
    bool m_released = false; // FreeAll ran
    bool m_useMmx;
};
