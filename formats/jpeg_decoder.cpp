// JPEG decoder: sequential (SOF0/SOF1) and progressive (SOF2) Huffman images,
// 8-bit greyscale or YCbCr with luma sampling up to 2x2. Input arrives through a
// jpeg_decoder_stream in 4096-byte chunks; rows are produced one MCU row at a time.
// Every failure unwinds to the public entry points as an error code.
#include "formats/jpeg_decoder.h"

#include "formats/jpeg_kernels.h"

#include "base/file_bytes.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ===========================================================================
// File stream
// ===========================================================================

jpeg_decoder_file_stream::~jpeg_decoder_file_stream() { close(); }

void jpeg_decoder_file_stream::close()
{
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
}

bool jpeg_decoder_file_stream::open(const char* path)
{
    close();
    eof = false;
    error = false;
    whyNot_ = notARegularFile(path);
    if (!whyNot_.empty())
        return false;
    file = std::fopen(path, "rb");
    if (!file)
        whyNot_ = "cannot be opened (" + std::error_code(errno, std::generic_category()).message() + ")";
    return file != nullptr;
}

int32_t jpeg_decoder_file_stream::read(uint8_t* buffer, int32_t maxBytes, bool* eofFlag)
{
    if (!file)
        return -1;
    if (eof) {
        *eofFlag = true;
        return 0;
    }
    if (error)
        return -1;
    if (maxBytes <= 0)
        return 0;
    const size_t got = std::fread(buffer, 1, static_cast<size_t>(maxBytes), file);
    if (got < static_cast<size_t>(maxBytes)) {
        if (std::ferror(file)) {
            error = true;
            return -1;
        }
        eof = true;
        *eofFlag = true;
    }
    return static_cast<int32_t>(got);
}

// ===========================================================================
// Decoder state
// ===========================================================================

namespace {

enum : int32_t {
    kErrHuffCounts = -200,
    kErrHuffIndex = -201,
    kErrHuffLength = -202,
    kErrQuantLength = -203,
    kErrQuantId = -204,
    kErrPrecision = -205,
    kErrHeight = -206,
    kErrWidth = -207,
    kErrTooManyComponents = -208,
    kErrFrameLength = -209,
    kErrSkipLength = -210,
    kErrRestartLength = -211,
    kErrScanLength = -212,
    kErrScanComponent = -213,
    kErrArithmetic = -215,
    kErrUnexpectedMarker = -216,
    kErrNoSoi = -217,
    kErrFrameType = -218,
    kErrQuantShort = -219,
    kErrTooManyAllocations = -221,
    kErrUndefinedQuant = -222,
    kErrUndefinedHuff = -223,
    kErrComponentCount = -225,
    kErrSampling = -226,
    kErrCorrupt = -227,
    kErrRestart = -228,
    kErrBlocks = -229,
    kErrSpectral = -230,
    kErrApprox = -231,
    kErrStream = -232,
    kErrMemory = -233,
};

constexpr int kInputBytes = 4096;
constexpr int kEoiPadWords = 64;
constexpr int kMaxAllocations = 100;
constexpr int kMaxDimension = 8192;
constexpr int kMaxBlocksPerMcuRow = 6144;
constexpr int kSoiSearchBytes = 511;
constexpr int kRestartSearchBytes = 1536;
constexpr int kFastBits = 11;
constexpr int kEobRun = 64; // run field of an end of block in the combined table

struct JpegFailure {
    int32_t code;
};

// Natural (row-major) index of each zig-zag position. The tail repeats 63 so that
// a run that overshoots can be looked up before it is rejected.
constexpr uint8_t kZigzag[64 + 16] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63, 63, 63,
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// AAN scale factors in 2.14: 16384 * a(row) * a(col), a(0) = 1, a(u) = sqrt(2) cos(u pi / 16).
constexpr int32_t kAanScale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
    17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
    25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
    4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
    8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247};

struct HuffTable {
    uint16_t fast[1 << kFastBits]; // (length << 8) | symbol; 0 = longer code
    // Code and value bits in one look-up: value * 2048 + run * 16 + total length
    // (as a DC table: the difference * 2048 + total length). An AC end of block
    // has run 64, so it leaves the block through the index check. 0 = not here.
    int32_t fastAc[1 << kFastBits];
    int32_t maxCode[18];            // largest code of each length, -1 if none
    int32_t valOffset[18];          // symbol index = code + valOffset
    int32_t symbolCount;
    uint8_t symbols[256];
};

struct Component {
    int id = 0;
    int h = 1, v = 1;
    int quantIndex = 0;
    int dcTable = 0, acTable = 0;
    int32_t dcPred = 0;
    // Blocks in the whole-image buffer (padded to whole MCUs) and the blocks a
    // single-component scan covers.
    int blocksWide = 0, blocksHigh = 0;
    int scanBlocksWide = 0, scanBlocksHigh = 0;
    int16_t* coefs = nullptr; // whole-image coefficients (progressive / multi-scan)
    uint8_t* plane = nullptr; // samples of the current MCU row
    int planeStride = 0;
};

inline int32_t extendValue(uint32_t bits, int size)
{
    // A value with its top bit clear is negative: v - (2^size - 1).
    return bits < (1u << (size - 1)) ? static_cast<int32_t>(bits) - static_cast<int32_t>((1u << size) - 1)
                                     : static_cast<int32_t>(bits);
}

} // namespace

struct JpegDecoderState {
    // --- caller-visible results
    jpeg_decoder_stream* stream = nullptr;
    bool attached = false;
    bool fastMode = true;
    bool useSimd = true;
    bool progressive = false;
    bool buffered = false; // coefficients kept for the whole image
    bool begun = false;
    int32_t errorCode = 0;
    int32_t width = 0, height = 0;
    int compCount = 0;

    // --- allocation table
    void* allocations[kMaxAllocations] = {};
    int allocationCount = 0;
    size_t memoryLimit = std::numeric_limits<size_t>::max();
    size_t memoryUsed = 0;

    // --- tables as read from the file
    int32_t quant[4][64] = {};
    bool quantDefined[4] = {};
    uint8_t huffCounts[8][17] = {};
    uint8_t huffSymbols[8][256] = {};
    bool huffDefined[8] = {};
    bool huffDirty = true;
    HuffTable huff[8];

    // --- derived per-component tables for the inverse transform
    alignas(16) int16_t fastQuant[4][64] = {};
    int32_t accurateQuant[4][64] = {};

    Component comps[4];

    // --- current scan
    int scanCount = 0;
    int scanComps[4] = {};
    int ss = 0, se = 63, ah = 0, al = 0;
    uint32_t eobRun = 0;

    // --- input
    uint8_t input[kInputBytes + 2 * kEoiPadWords + 16];
    const uint8_t* inPtr = input;
    int32_t inLeft = 0;
    bool streamEnded = false;
    bool tailIsFF = true;  // next synthesised byte once the data is used up
    int pendingMarker = -1; // marker met inside entropy-coded data
    int32_t zeroFillBits = 0; // zeros fed to the bit reader since the marker met

    // --- damage that decoding survives (jpegWarningText)
    bool dataEnded = false;  // bytes past the end of the file were made up
    bool scanShort = false;  // a scan needed bits from beyond its own data
    bool extraBytes = false; // a scan left whole bytes of its data unread

    // --- bit reader: left-aligned, refilled 16 bits at a time
    uint32_t bitBuf = 0;
    int32_t bitCount = 0;

    // --- restart state
    uint32_t restartInterval = 0;
    uint32_t restartsLeft = 0;
    int nextRestart = 0;

    // --- frame layout
    int mcuWidth = 8, mcuHeight = 8;
    int mcusPerRow = 0, mcuRows = 0;
    int blocksPerMcu = 0;
    int mcuBlockComp[10] = {}, mcuBlockX[10] = {}, mcuBlockY[10] = {};
    int16_t* blockStore = nullptr; // one MCU row of coefficient blocks
    uint8_t* rowBuffer[2] = {};
    int rowBytes = 0;
    jpegk::ColourTables* colour = nullptr;

    // --- output progress
    int mcuRowsDecoded = 0;
    int rowInMcu = 0;       // next row of the current MCU row to convert
    int rowsDelivered = 0;
    bool secondRowPending = false;

    // =======================================================================
    // Errors and allocations
    // =======================================================================

    void freeAll()
    {
        for (int i = 0; i < allocationCount; ++i)
            std::free(allocations[i]);
        allocationCount = 0;
        memoryUsed = 0;
        blockStore = nullptr;
        rowBuffer[0] = rowBuffer[1] = nullptr;
        colour = nullptr;
        for (Component& c : comps) {
            c.coefs = nullptr;
            c.plane = nullptr;
        }
    }

    void detachStream()
    {
        if (attached) {
            attached = false;
            stream->detach();
        }
    }

    [[noreturn]] void fail(int32_t code)
    {
        errorCode = code;
        freeAll();
        detachStream();
        throw JpegFailure{code};
    }

    // Zero-filled, 16-byte aligned (so at least 8), with slack behind the end.
    void* allocate(size_t bytes)
    {
        if (allocationCount >= kMaxAllocations)
            fail(kErrTooManyAllocations);
        const size_t total = bytes + 8 + 16;
        if (total < bytes || total > memoryLimit - memoryUsed)
            fail(kErrMemory);
        void* raw = std::calloc(1, total);
        if (!raw)
            fail(kErrMemory);
        allocations[allocationCount++] = raw;
        memoryUsed += total;
        const uintptr_t p = reinterpret_cast<uintptr_t>(raw);
        return reinterpret_cast<void*>((p + 15) & ~uintptr_t(15));
    }

    // =======================================================================
    // Byte input
    // =======================================================================

    void fillInput()
    {
        int32_t total = 0;
        while (total < kInputBytes && !streamEnded) {
            bool eof = false;
            const int32_t want = kInputBytes - total;
            const int32_t got = stream->read(input + total, want, &eof);
            if (got < 0 || got > want)
                fail(kErrStream);
            total += got;
            if (eof)
                streamEnded = true;
        }
        // EOI markers behind the data: a truncated file ends in EOI.
        for (int i = 0; i < kEoiPadWords; ++i) {
            input[total + 2 * i] = 0xFF;
            input[total + 2 * i + 1] = 0xD9;
        }
        inPtr = input;
        inLeft = total;
    }

    uint8_t nextByteSlow()
    {
        if (!streamEnded)
            fillInput();
        if (inLeft > 0) {
            --inLeft;
            return *inPtr++;
        }
        dataEnded = true;
        const uint8_t b = tailIsFF ? 0xFF : 0xD9;
        tailIsFF = !tailIsFF;
        return b;
    }

    inline uint8_t nextByte()
    {
        if (inLeft > 0) {
            --inLeft;
            return *inPtr++;
        }
        return nextByteSlow();
    }

    uint32_t read16()
    {
        const uint32_t hi = nextByte();
        return (hi << 8) | nextByte();
    }

    void skipBytes(uint32_t n)
    {
        while (n > 0) {
            if (inLeft > 0) {
                const uint32_t step = n < static_cast<uint32_t>(inLeft) ? n : static_cast<uint32_t>(inLeft);
                inPtr += step;
                inLeft -= static_cast<int32_t>(step);
                n -= step;
            } else {
                nextByteSlow();
                --n;
            }
        }
    }

    // =======================================================================
    // Bit reader (entropy-coded data)
    // =======================================================================

    // One byte of entropy-coded data: FF 00 is a data FF; any other marker stops
    // the data, is kept for the marker reader, and zeros are fed from then on.
    uint32_t entropyByte()
    {
        if (pendingMarker >= 0) {
            zeroFillBits += 8;
            return 0;
        }
        const uint8_t b = nextByte();
        if (b != 0xFF)
            return b;
        uint8_t m = nextByte();
        while (m == 0xFF)
            m = nextByte();
        if (m == 0)
            return 0xFF;
        pendingMarker = m;
        zeroFillBits += 8;
        return 0;
    }

    __attribute__((noinline)) void refillSlow()
    {
        const uint32_t b0 = entropyByte();
        const uint32_t b1 = entropyByte();
        bitBuf |= ((b0 << 8) | b1) << (16 - bitCount);
        bitCount += 16;
    }

    inline void refill16()
    {
        if (inLeft >= 2 && pendingMarker < 0) {
            const uint32_t b0 = inPtr[0], b1 = inPtr[1];
            if (b0 != 0xFF && b1 != 0xFF) {
                inPtr += 2;
                inLeft -= 2;
                bitBuf |= ((b0 << 8) | b1) << (16 - bitCount);
                bitCount += 16;
                return;
            }
        }
        refillSlow();
    }

    inline void ensure16()
    {
        if (bitCount < 16)
            refill16();
    }

    inline void consume(int n)
    {
        bitBuf <<= n;
        bitCount -= n;
    }

    // 1 <= n <= 16
    inline uint32_t getBits(int n)
    {
        if (bitCount < n)
            refill16();
        const uint32_t v = bitBuf >> (32 - n);
        consume(n);
        return v;
    }

    inline uint32_t getBit()
    {
        if (bitCount < 1)
            refill16();
        const uint32_t v = bitBuf >> 31;
        consume(1);
        return v;
    }

    void resetBits()
    {
        bitBuf = 0;
        bitCount = 0;
        zeroFillBits = 0;
    }

    // Where a scan's (or a restart interval's) data ends, a whole encoder leaves
    // fewer than 8 padding bits and then a marker. Zeros used from beyond the
    // marker, or data bytes left over, mean the data does not fit its headers:
    // the picture is decoded all the same, and the damage is only recorded.
    // `findMarker`: the next marker has not been looked for yet.
    void checkScanEnd(bool findMarker)
    {
        if (zeroFillBits > bitCount)
            scanShort = true;
        const int32_t ownBits = bitCount - (zeroFillBits < bitCount ? zeroFillBits : bitCount);
        if (ownBits >= 8)
            extraBytes = true;
        if (!findMarker || pendingMarker >= 0)
            return;
        if (nextByte() != 0xFF) {
            extraBytes = true;
            return;
        }
        uint8_t m = nextByte();
        while (m == 0xFF)
            m = nextByte();
        if (m == 0)
            extraBytes = true;
        else
            pendingMarker = m;
    }

    inline int decodeSymbol(const HuffTable& t)
    {
        ensure16();
        const uint32_t e = t.fast[bitBuf >> (32 - kFastBits)];
        if (e) {
            consume(static_cast<int>(e >> 8));
            return static_cast<int>(e & 0xFF);
        }
        return decodeSymbolSlow(t);
    }

    __attribute__((noinline)) int decodeSymbolSlow(const HuffTable& t)
    {
        const uint32_t look = bitBuf >> 16;
        for (int len = kFastBits + 1; len <= 16; ++len) {
            const int32_t code = static_cast<int32_t>(look >> (16 - len));
            if (code <= t.maxCode[len]) {
                const int32_t index = code + t.valOffset[len];
                if (index < 0 || index >= t.symbolCount)
                    fail(kErrCorrupt);
                consume(len);
                return t.symbols[index];
            }
        }
        fail(kErrCorrupt);
    }

    // Value of 'size' extra bits (size 0..15 after the caller's checks).
    inline int32_t receiveExtend(int size)
    {
        if (size == 0)
            return 0;
        return extendValue(getBits(size), size);
    }

    // =======================================================================
    // Huffman tables
    // =======================================================================

    void buildHuffTable(int index)
    {
        HuffTable& t = huff[index];
        const uint8_t* counts = huffCounts[index];
        std::memset(t.fast, 0, sizeof t.fast);
        std::memset(t.fastAc, 0, sizeof t.fastAc);
        std::memcpy(t.symbols, huffSymbols[index], sizeof t.symbols);
        int32_t code = 0;
        int32_t k = 0;
        for (int len = 1; len <= 16; ++len) {
            const int32_t n = counts[len];
            t.valOffset[len] = k - code;
            t.maxCode[len] = n ? code + n - 1 : -1;
            // Codes of this length that fit the fast table. Codes past 2^len
            // (an oversubscribed table) cannot be read and are left out.
            if (len <= kFastBits) {
                for (int32_t i = 0; i < n; ++i) {
                    const int32_t c = code + i;
                    if (c >= (1 << len))
                        break;
                    const int shift = kFastBits - len;
                    const uint8_t sym = t.symbols[k + i];
                    for (int32_t j = 0; j < (1 << shift); ++j) {
                        const int32_t slot = (c << shift) | j;
                        t.fast[slot] = static_cast<uint16_t>((len << 8) | sym);
                        const int run = sym >> 4, size = sym & 15;
                        if (size != 0 && len + size <= kFastBits) {
                            const uint32_t bits = (static_cast<uint32_t>(slot) >> (shift - size)) & ((1u << size) - 1);
                            t.fastAc[slot] = extendValue(bits, size) * 2048 + run * 16 + len + size;
                        } else if (sym == 0) {
                            // DC: difference 0. AC: end of block.
                            t.fastAc[slot] = (index < 4 ? 0 : kEobRun * 16) + len;
                        }
                    }
                }
            }
            code += n;
            k += n;
            code <<= 1;
        }
        t.maxCode[17] = std::numeric_limits<int32_t>::max();
        t.symbolCount = k;
    }

    void buildHuffTables()
    {
        if (!huffDirty)
            return;
        for (int i = 0; i < 8; ++i)
            if (huffDefined[i])
                buildHuffTable(i);
        huffDirty = false;
    }

    // =======================================================================
    // Marker segments
    // =======================================================================

    void readHuffSegment()
    {
        const uint32_t length = read16();
        if (length < 2)
            fail(kErrHuffLength);
        uint32_t left = length - 2;
        while (left > 0) {
            if (left < 17)
                fail(kErrHuffLength);
            uint8_t counts[17] = {};
            const uint8_t classId = nextByte();
            uint32_t sum = 0;
            for (int i = 1; i <= 16; ++i) {
                counts[i] = nextByte();
                sum += counts[i];
            }
            if (sum > 255)
                fail(kErrHuffCounts);
            const int index = (classId & 15) + 4 * (classId >> 4);
            if (index > 7)
                fail(kErrHuffIndex);
            if (left < 17 + sum)
                fail(kErrHuffLength);
            std::memcpy(huffCounts[index], counts, sizeof counts);
            std::memset(huffSymbols[index], 0, sizeof huffSymbols[index]);
            for (uint32_t i = 0; i < sum; ++i)
                huffSymbols[index][i] = nextByte();
            huffDefined[index] = true;
            huffDirty = true;
            left -= 17 + sum;
        }
    }

    void readQuantSegment()
    {
        const uint32_t length = read16();
        if (length < 2)
            fail(kErrQuantLength);
        uint32_t left = length - 2;
        while (left > 0) {
            const uint8_t pq = nextByte();
            const bool wide = (pq >> 4) != 0;
            const int id = pq & 15;
            if (id >= 4)
                fail(kErrQuantId);
            const uint32_t need = wide ? 129 : 65;
            if (left < need)
                fail(kErrQuantShort);
            for (int i = 0; i < 64; ++i) {
                const int32_t q = static_cast<int32_t>(wide ? read16() : nextByte());
                if (fastMode) {
                    const int k = kZigzag[i];
                    quant[id][k] = static_cast<int32_t>((static_cast<int64_t>(q) * kAanScale[k] + 2048) >> 12);
                } else {
                    quant[id][i] = q;
                }
            }
            quantDefined[id] = true;
            left -= need;
        }
    }

    void readRestartSegment()
    {
        if (read16() != 4)
            fail(kErrRestartLength);
        restartInterval = read16();
    }

    void skipSegment()
    {
        const uint32_t length = read16();
        if (length < 2)
            fail(kErrSkipLength);
        skipBytes(length - 2);
    }

    void readFrameHeader()
    {
        const uint32_t length = read16();
        if (nextByte() != 8)
            fail(kErrPrecision);
        height = static_cast<int32_t>(read16());
        if (height < 1 || height > kMaxDimension)
            fail(kErrHeight);
        width = static_cast<int32_t>(read16());
        if (width < 1 || width > kMaxDimension)
            fail(kErrWidth);
        compCount = nextByte();
        if (compCount > 4)
            fail(kErrTooManyComponents);
        if (length != 8u + 3u * static_cast<uint32_t>(compCount))
            fail(kErrFrameLength);
        for (int i = 0; i < compCount; ++i) {
            Component& c = comps[i];
            c.id = nextByte();
            const uint8_t hv = nextByte();
            c.h = hv >> 4;
            c.v = hv & 15;
            c.quantIndex = nextByte();
        }
    }

    void readScanHeader()
    {
        const uint32_t length = read16();
        const int n = nextByte();
        if (n < 1 || n > 4 || length != 6u + 2u * static_cast<uint32_t>(n))
            fail(kErrScanLength);
        bool seen[4] = {};
        for (int i = 0; i < n; ++i) {
            const int id = nextByte();
            const uint8_t tables = nextByte();
            int found = -1;
            for (int c = 0; c < compCount; ++c)
                if (comps[c].id == id) {
                    found = c;
                    break;
                }
            // A component named twice would break the MCU layout: refused as absent.
            if (found < 0 || seen[found])
                fail(kErrScanComponent);
            seen[found] = true;
            scanComps[i] = found;
            comps[found].dcTable = tables >> 4;
            comps[found].acTable = tables & 15;
        }
        scanCount = n;
        ss = nextByte();
        se = nextByte();
        const uint8_t a = nextByte();
        ah = a >> 4;
        al = a & 15;
        if (!progressive) {
            ss = 0;
            se = 63;
        }
    }

    // Finds the next marker code, skipping anything that is not one.
    int nextMarker()
    {
        if (pendingMarker >= 0) {
            const int m = pendingMarker;
            pendingMarker = -1;
            return m;
        }
        for (;;) {
            uint8_t b = nextByte();
            if (b != 0xFF)
                continue;
            do
                b = nextByte();
            while (b == 0xFF);
            if (b != 0)
                return b;
        }
    }

    // Reads and handles segments until a marker for the caller (SOI, EOI, SOS,
    // or a frame header when frameAllowed).
    int processMarkers(bool frameAllowed)
    {
        for (;;) {
            const int m = nextMarker();
            switch (m) {
            case 0xC4:
                readHuffSegment();
                break;
            case 0xDB:
                readQuantSegment();
                break;
            case 0xDD:
                readRestartSegment();
                break;
            case 0xCC:
            case 0xC9:
                fail(kErrArithmetic);
            case 0xC0:
            case 0xC1:
            case 0xC2:
                if (!frameAllowed)
                    fail(kErrUnexpectedMarker); // a second frame header
                return m;
            case 0xC3:
            case 0xC5:
            case 0xC6:
            case 0xC7:
            case 0xCA:
            case 0xCB:
            case 0xCD:
            case 0xCE:
            case 0xCF:
                fail(kErrFrameType);
            case 0xD0:
            case 0xD1:
            case 0xD2:
            case 0xD3:
            case 0xD4:
            case 0xD5:
            case 0xD6:
            case 0xD7:
            case 0x01:
            case 0xC8:
                fail(kErrUnexpectedMarker);
            case 0xD8:
            case 0xD9:
            case 0xDA:
                return m;
            default:
                skipSegment();
                break;
            }
        }
    }

    // =======================================================================
    // Construction: SOI and headers up to the frame
    // =======================================================================

    void readHeaders()
    {
        fillInput();
        uint8_t prev = nextByte();
        uint8_t cur = nextByte();
        if (!(prev == 0xFF && cur == 0xD8)) {
            bool found = false;
            for (int i = 0; i < kSoiSearchBytes; ++i) {
                prev = cur;
                cur = nextByte();
                if (prev == 0xFF && cur == 0xD8) {
                    found = true;
                    break;
                }
            }
            if (!found)
                fail(kErrNoSoi);
        }
        if (nextByte() != 0xFF)
            fail(kErrNoSoi);
        // The FF after SOI is taken; read the code of that first marker.
        uint8_t first = nextByte();
        while (first == 0xFF)
            first = nextByte();
        if (first != 0)
            pendingMarker = first;
        const int m = processMarkers(true);
        if (m == 0xC2)
            progressive = true;
        else if (m != 0xC0 && m != 0xC1)
            fail(kErrUnexpectedMarker);
        readFrameHeader();
    }

    // =======================================================================
    // begin(): frame set-up
    // =======================================================================

    void setupFrame()
    {
        if (compCount != 1 && compCount != 3)
            fail(kErrComponentCount);
        if (compCount == 1) {
            // A lone component is coded one block per MCU, whatever it declares.
            comps[0].h = comps[0].v = 1;
        } else {
            const Component& y = comps[0];
            if (y.h < 1 || y.h > 2 || y.v < 1 || y.v > 2)
                fail(kErrSampling);
            for (int i = 1; i < 3; ++i)
                if (comps[i].h != 1 || comps[i].v != 1)
                    fail(kErrSampling);
        }
        mcuWidth = 8 * comps[0].h;
        mcuHeight = 8 * comps[0].v;
        blocksPerMcu = 0;
        for (int i = 0; i < compCount; ++i)
            blocksPerMcu += comps[i].h * comps[i].v;
        mcusPerRow = (width + mcuWidth - 1) / mcuWidth;
        mcuRows = (height + mcuHeight - 1) / mcuHeight;
        if (blocksPerMcu * mcusPerRow > kMaxBlocksPerMcuRow)
            fail(kErrBlocks);

        const int bpp = compCount == 3 ? 4 : 1;
        rowBytes = ((width + 15) & ~15) * bpp + 8;
        rowBuffer[0] = static_cast<uint8_t*>(allocate(static_cast<size_t>(rowBytes)));
        rowBuffer[1] = static_cast<uint8_t*>(allocate(static_cast<size_t>(rowBytes)));
        blockStore = static_cast<int16_t*>(
            allocate(static_cast<size_t>(blocksPerMcu) * static_cast<size_t>(mcusPerRow) * 64 * sizeof(int16_t)));

        const int hMax = comps[0].h, vMax = comps[0].v;
        for (int i = 0; i < compCount; ++i) {
            Component& c = comps[i];
            c.blocksWide = mcusPerRow * c.h;
            c.blocksHigh = mcuRows * c.v;
            const int compW = (width * c.h + hMax - 1) / hMax;
            const int compH = (height * c.v + vMax - 1) / vMax;
            c.scanBlocksWide = (compW + 7) / 8;
            c.scanBlocksHigh = (compH + 7) / 8;
            // Plane rows padded so that the 16-wide colour loop may read past the edge.
            c.planeStride = ((c.blocksWide * 8 + 15) & ~15) + 32;
            c.plane = static_cast<uint8_t*>(allocate(static_cast<size_t>(c.planeStride) * 8 * c.v + 64));
            c.dcPred = 0;
        }
        if (compCount == 3) {
            colour = static_cast<jpegk::ColourTables*>(allocate(sizeof(jpegk::ColourTables)));
            jpegk::buildColourTables(*colour);
        }
    }

    void allocateCoefficientBuffers()
    {
        for (int i = 0; i < compCount; ++i) {
            Component& c = comps[i];
            c.coefs = static_cast<int16_t*>(allocate(static_cast<size_t>(c.blocksWide) *
                                                     static_cast<size_t>(c.blocksHigh) * 64 * sizeof(int16_t)));
        }
    }

    void prepareQuant()
    {
        for (int i = 0; i < compCount; ++i) {
            const int q = comps[i].quantIndex;
            if (q < 0 || q >= 4 || !quantDefined[q])
                fail(kErrUndefinedQuant);
        }
        for (int q = 0; q < 4; ++q) {
            if (!quantDefined[q])
                continue;
            for (int k = 0; k < 64; ++k) {
                if (fastMode) {
                    const int32_t v = quant[q][k];
                    fastQuant[q][k] = static_cast<int16_t>(v > 32767 ? 32767 : v);
                } else {
                    accurateQuant[q][kZigzag[k]] = quant[q][k];
                }
            }
        }
    }

    // Checks and state common to every scan.
    void startScan()
    {
        for (int i = 0; i < scanCount; ++i) {
            const Component& c = comps[scanComps[i]];
            if (ss == 0 && (c.dcTable >= 4 || !huffDefined[c.dcTable]))
                fail(kErrUndefinedHuff);
            if (se > 0 && (c.acTable >= 4 || !huffDefined[c.acTable + 4]))
                fail(kErrUndefinedHuff);
        }
        for (int i = 0; i < scanCount; ++i) {
            const Component& c = comps[scanComps[i]];
            if (c.quantIndex >= 4 || !quantDefined[c.quantIndex])
                fail(kErrUndefinedQuant);
        }
        buildHuffTables();
        for (int i = 0; i < compCount; ++i)
            comps[i].dcPred = 0;
        restartsLeft = restartInterval;
        nextRestart = 0;
        eobRun = 0;
        resetBits();
    }

    void processRestart()
    {
        checkScanEnd(false);
        resetBits();
        int marker = -1;
        if (pendingMarker >= 0) {
            marker = pendingMarker;
            pendingMarker = -1;
        } else {
            int searched = 0;
            uint8_t b = nextByte();
            while (b != 0xFF) {
                if (++searched >= kRestartSearchBytes)
                    fail(kErrRestart);
                b = nextByte();
            }
            if (searched > 0)
                extraBytes = true;
            do
                b = nextByte();
            while (b == 0xFF);
            marker = b;
        }
        if (marker == 0xD9) {
            // The data ended (a truncated file ends in the padding EOI): the rest
            // of the image decodes from zeros like any truncated file, so a
            // restart interval does not turn truncation into an error.
            pendingMarker = marker;
            restartsLeft = restartInterval;
            return;
        }
        if (marker != 0xD0 + nextRestart)
            fail(kErrRestart);
        nextRestart = (nextRestart + 1) & 7;
        for (int i = 0; i < compCount; ++i)
            comps[i].dcPred = 0;
        eobRun = 0;
        restartsLeft = restartInterval;
    }

    inline void countRestart()
    {
        if (restartInterval) {
            if (restartsLeft == 0)
                processRestart();
            --restartsLeft;
        }
    }

    // =======================================================================
    // Block decoding
    // =======================================================================

    // Sequential block: DC difference and AC run/size pairs, all 64 coefficients.
    // Returns the zig-zag index where the block ended (1 = DC only). The bit
    // and byte cursors live in locals here (this is the hottest loop); the rare
    // slow paths write them back, call the member routines and reload them.
    __attribute__((always_inline)) inline int decodeBlock(int16_t* blk, Component& c)
    {
        const HuffTable& dc = huff[c.dcTable];
        const HuffTable& ac = huff[c.acTable + 4];
        uint32_t buf = bitBuf;
        int32_t count = bitCount;
        const uint8_t* ptr = inPtr;
        int32_t left = inLeft;
        auto store = [&]() __attribute__((always_inline)) {
            bitBuf = buf;
            bitCount = count;
            inPtr = ptr;
            inLeft = left;
        };
        auto load = [&]() __attribute__((always_inline)) {
            buf = bitBuf;
            count = bitCount;
            ptr = inPtr;
            left = inLeft;
        };
        auto refill = [&]() __attribute__((always_inline)) {
            if (left >= 2 && ptr[0] != 0xFF && ptr[1] != 0xFF && pendingMarker < 0) {
                buf |= ((static_cast<uint32_t>(ptr[0]) << 8) | ptr[1]) << (16 - count);
                count += 16;
                ptr += 2;
                left -= 2;
            } else {
                store();
                refillSlow();
                load();
            }
        };
        auto symbol = [&](const HuffTable& t) __attribute__((always_inline)) -> int {
            if (count < 16)
                refill();
            const uint32_t e = t.fast[buf >> (32 - kFastBits)];
            if (e) {
                buf <<= e >> 8;
                count -= static_cast<int32_t>(e >> 8);
                return static_cast<int>(e & 0xFF);
            }
            store();
            const int sym = decodeSymbolSlow(t);
            load();
            return sym;
        };
        auto extend = [&](int size) __attribute__((always_inline)) -> int32_t {
            if (count < size)
                refill();
            const uint32_t bits = buf >> (32 - size);
            buf <<= size;
            count -= size;
            return extendValue(bits, size);
        };

        if (count < 16)
            refill();
        int32_t diff;
        const int32_t fd = dc.fastAc[buf >> (32 - kFastBits)];
        if (fd != 0 && ((fd >> 4) & 127) == 0) {
            // Category and difference bits together; a bare length is category 0.
            // Entries with high symbol bits are not DC categories: the plain
            // path below rejects them.
            buf <<= fd & 15;
            count -= fd & 15;
            diff = fd >> 11;
        } else {
            const int s = symbol(dc);
            if (s > 15)
                fail(kErrCorrupt);
            diff = s ? extend(s) : 0;
        }
        c.dcPred = static_cast<int32_t>(static_cast<uint32_t>(c.dcPred) + static_cast<uint32_t>(diff));
        blk[0] = static_cast<int16_t>(c.dcPred);
        int k = 1;
        while (k < 64) {
            if (count < 16)
                refill();
            const int32_t f = ac.fastAc[buf >> (32 - kFastBits)];
            if (f) {
                buf <<= f & 15;
                count -= f & 15;
                const int run = (f >> 4) & 127;
                k += run;
                if (k > 63) {
                    if (run == kEobRun) {
                        k -= kEobRun;
                        break;
                    }
                    fail(kErrCorrupt);
                }
                blk[kZigzag[k]] = static_cast<int16_t>(f >> 11);
                ++k;
                continue;
            }
            const int sym = symbol(ac);
            const int run = sym >> 4, size = sym & 15;
            if (size == 0) {
                if (run != 15)
                    break;
                k += 16;
                continue;
            }
            k += run;
            if (k > 63)
                fail(kErrCorrupt);
            blk[kZigzag[k]] = static_cast<int16_t>(extend(size));
            ++k;
        }
        store();
        return k;
    }

    void decodeDcFirst(int16_t* blk, Component& c)
    {
        const int s = decodeSymbol(huff[c.dcTable]);
        if (s > 15)
            fail(kErrCorrupt);
        c.dcPred = static_cast<int32_t>(static_cast<uint32_t>(c.dcPred) + static_cast<uint32_t>(receiveExtend(s)));
        blk[0] = static_cast<int16_t>(static_cast<uint32_t>(c.dcPred) << al);
    }

    void decodeDcRefine(int16_t* blk)
    {
        if (getBit())
            blk[0] = static_cast<int16_t>(blk[0] | (1 << al));
    }

    void decodeAcFirst(int16_t* blk, const Component& c)
    {
        if (eobRun > 0) {
            --eobRun;
            return;
        }
        const HuffTable& ac = huff[c.acTable + 4];
        for (int k = ss; k <= se; ++k) {
            const int sym = decodeSymbol(ac);
            const int run = sym >> 4, size = sym & 15;
            if (size == 0) {
                if (run < 15) {
                    eobRun = (1u << run) - 1;
                    if (run)
                        eobRun += getBits(run);
                    break;
                }
                k += 15;
                continue;
            }
            k += run;
            if (k > 63)
                fail(kErrCorrupt);
            blk[kZigzag[k]] = static_cast<int16_t>(static_cast<uint32_t>(receiveExtend(size)) << al);
        }
    }

    // Correction bit for a coefficient that is already non-zero.
    inline void refineNonZero(int16_t& coef, int32_t bit)
    {
        if (getBit() && (coef & bit) == 0)
            coef = static_cast<int16_t>(coef >= 0 ? coef + bit : coef - bit);
    }

    void decodeAcRefine(int16_t* blk, const Component& c)
    {
        const int32_t bit = 1 << al;
        int k = ss;
        if (eobRun == 0) {
            const HuffTable& ac = huff[c.acTable + 4];
            for (; k <= se; ++k) {
                const int sym = decodeSymbol(ac);
                int run = sym >> 4;
                const int size = sym & 15;
                int32_t value = 0;
                if (size != 0) {
                    if (size != 1)
                        fail(kErrCorrupt);
                    value = getBit() ? bit : -bit;
                } else if (run != 15) {
                    eobRun = 1u << run;
                    if (run)
                        eobRun += getBits(run);
                    break;
                }
                // Skip 'run' zero coefficients (refining the non-zero ones on the
                // way), then place the new one.
                for (; k <= se; ++k) {
                    int16_t& coef = blk[kZigzag[k]];
                    if (coef != 0) {
                        refineNonZero(coef, bit);
                    } else {
                        if (run == 0) {
                            if (value)
                                coef = static_cast<int16_t>(value);
                            break;
                        }
                        --run;
                    }
                }
            }
        }
        if (eobRun > 0) {
            for (; k <= se; ++k) {
                int16_t& coef = blk[kZigzag[k]];
                if (coef != 0)
                    refineNonZero(coef, bit);
            }
            --eobRun;
        }
    }

    // =======================================================================
    // Whole-image scans (progressive, or sequential in several scans)
    // =======================================================================

    int16_t* bufferBlock(Component& c, int bx, int by)
    {
        if (bx < 0 || by < 0 || bx >= c.blocksWide || by >= c.blocksHigh)
            fail(kErrBlocks);
        return c.coefs + (static_cast<size_t>(by) * static_cast<size_t>(c.blocksWide) + static_cast<size_t>(bx)) * 64;
    }

    void decodeBufferedBlock(int16_t* blk, Component& c)
    {
        if (!progressive) {
            int16_t tmp[64] = {};
            decodeBlock(tmp, c);
            std::memcpy(blk, tmp, sizeof tmp);
        } else if (ss == 0) {
            if (ah == 0)
                decodeDcFirst(blk, c);
            else
                decodeDcRefine(blk);
        } else if (ah == 0) {
            decodeAcFirst(blk, c);
        } else {
            decodeAcRefine(blk, c);
        }
    }

    void checkProgressiveScan()
    {
        if (se < ss || se > 63)
            fail(kErrSpectral);
        if (ss == 0 && se != 0)
            fail(kErrSpectral);
        if (ss > 0 && scanCount != 1)
            fail(kErrSpectral);
        if (ah != 0 && ah != al + 1)
            fail(kErrApprox);
    }

    void decodeBufferedScan()
    {
        if (progressive)
            checkProgressiveScan();
        startScan();
        if (scanCount == 1) {
            // Non-interleaved: one block per MCU, covering the component itself.
            Component& c = comps[scanComps[0]];
            for (int by = 0; by < c.scanBlocksHigh; ++by)
                for (int bx = 0; bx < c.scanBlocksWide; ++bx) {
                    countRestart();
                    decodeBufferedBlock(bufferBlock(c, bx, by), c);
                }
        } else {
            for (int my = 0; my < mcuRows; ++my)
                for (int mx = 0; mx < mcusPerRow; ++mx) {
                    countRestart();
                    for (int i = 0; i < scanCount; ++i) {
                        Component& c = comps[scanComps[i]];
                        for (int y = 0; y < c.v; ++y)
                            for (int x = 0; x < c.h; ++x)
                                decodeBufferedBlock(bufferBlock(c, mx * c.h + x, my * c.v + y), c);
                    }
                }
        }
        checkScanEnd(true);
    }

    // Decodes every scan up to EOI into the coefficient buffers; the first scan
    // header has been read already.
    void decodeAllScans()
    {
        allocateCoefficientBuffers();
        for (;;) {
            decodeBufferedScan();
            const int m = processMarkers(false);
            if (m == 0xD9)
                break;
            if (m != 0xDA)
                fail(kErrUnexpectedMarker);
            readScanHeader();
        }
    }

    // =======================================================================
    // begin()
    // =======================================================================

    void beginDecoding()
    {
        setupFrame();
        const int m = processMarkers(false);
        if (m != 0xDA)
            fail(kErrUnexpectedMarker);
        readScanHeader();
        // A sequential image in one interleaved scan streams row by row; any other
        // layout keeps the whole image's coefficients.
        buffered = progressive || scanCount != compCount;
        if (buffered) {
            decodeAllScans();
            prepareQuant();
        } else {
            startScan();
            prepareQuant();
            layoutMcu();
        }
        mcuRowsDecoded = 0;
        rowInMcu = 0;
        rowsDelivered = 0;
        secondRowPending = false;
    }

    void layoutMcu()
    {
        int n = 0;
        for (int i = 0; i < scanCount; ++i) {
            const Component& c = comps[scanComps[i]];
            for (int y = 0; y < c.v; ++y)
                for (int x = 0; x < c.h; ++x) {
                    mcuBlockComp[n] = scanComps[i];
                    mcuBlockX[n] = x;
                    mcuBlockY[n] = y;
                    ++n;
                }
        }
    }

    // =======================================================================
    // Rows
    // =======================================================================

    inline void inverseTransform(const int16_t* blk, int lastIndex, const Component& c, uint8_t* out)
    {
        if (fastMode) {
            const int16_t* q = fastQuant[c.quantIndex];
            if (lastIndex <= 1) {
                const uint8_t v = jpegk::idctFastDcValue(blk[0], q[0]);
                for (int r = 0; r < 8; ++r)
                    std::memset(out + r * c.planeStride, v, 8);
            } else if (useSimd) {
                jpegk::idctFastSimd(blk, q, out, c.planeStride);
            } else {
                jpegk::idctFastScalar(blk, q, out, c.planeStride);
            }
        } else {
            jpegk::idctAccurate(blk, accurateQuant[c.quantIndex], out, c.planeStride);
        }
    }

    void decodeMcuRowStreaming()
    {
        for (int mx = 0; mx < mcusPerRow; ++mx) {
            countRestart();
            int16_t* blocks = blockStore + static_cast<size_t>(mx) * blocksPerMcu * 64;
            for (int b = 0; b < blocksPerMcu; ++b) {
                Component& c = comps[mcuBlockComp[b]];
                int16_t* blk = blocks + b * 64;
                const int last = decodeBlock(blk, c);
                uint8_t* out = c.plane + mcuBlockY[b] * 8 * c.planeStride + (mx * c.h + mcuBlockX[b]) * 8;
                inverseTransform(blk, last, c, out);
                clearBlock(blk);
            }
        }
    }

    // Coefficient blocks are 16-byte aligned; eight wide stores beat a string store here.
    static inline void clearBlock(int16_t* blk)
    {
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (int i = 0; i < 8; ++i)
            _mm_store_si128(reinterpret_cast<__m128i*>(blk) + i, zero);
#else
        std::memset(blk, 0, 64 * sizeof(int16_t));
#endif
    }

    static bool onlyDc(const int16_t* blk)
    {
        for (int i = 1; i < 64; ++i)
            if (blk[i])
                return false;
        return true;
    }

    void transformMcuRowBuffered(int my)
    {
        for (int i = 0; i < compCount; ++i) {
            Component& c = comps[i];
            for (int y = 0; y < c.v; ++y) {
                const int by = my * c.v + y;
                for (int bx = 0; bx < c.blocksWide; ++bx) {
                    const int16_t* blk = bufferBlock(c, bx, by);
                    inverseTransform(blk, onlyDc(blk) ? 1 : 64, c, c.plane + y * 8 * c.planeStride + bx * 8);
                }
            }
        }
    }

    void convertRow(int row, uint8_t* out)
    {
        const Component& y = comps[0];
        const uint8_t* luma = y.plane + row * y.planeStride;
        if (compCount == 1) {
            std::memcpy(out, luma, static_cast<size_t>(width));
            return;
        }
        const int chromaRow = row / y.v;
        const uint8_t* cb = comps[1].plane + chromaRow * comps[1].planeStride;
        const uint8_t* cr = comps[2].plane + chromaRow * comps[2].planeStride;
        if (useSimd)
            jpegk::yccToRgbxSimd(luma, cb, cr, out, width, y.h - 1, *colour);
        else
            jpegk::yccToRgbxScalar(luma, cb, cr, out, width, y.h - 1, *colour);
    }

    const uint8_t* nextRow()
    {
        if (secondRowPending) {
            secondRowPending = false;
            return rowBuffer[1];
        }
        if (rowInMcu == 0 || rowInMcu >= mcuHeight) {
            if (buffered)
                transformMcuRowBuffered(mcuRowsDecoded);
            else
                decodeMcuRowStreaming();
            ++mcuRowsDecoded;
            if (!buffered && mcuRowsDecoded == mcuRows)
                checkScanEnd(true);
            rowInMcu = 0;
        }
        if (compCount == 3 && comps[0].v == 2) {
            // One chroma row serves two luma rows: both are converted now and the
            // second waits in the other buffer.
            if (useSimd) {
                const Component& y = comps[0];
                const int chromaRow = rowInMcu / 2;
                jpegk::yccToRgbxSimd2(y.plane + rowInMcu * y.planeStride, y.plane + (rowInMcu + 1) * y.planeStride,
                                      comps[1].plane + chromaRow * comps[1].planeStride,
                                      comps[2].plane + chromaRow * comps[2].planeStride, rowBuffer[0], rowBuffer[1],
                                      width, y.h - 1);
            } else {
                convertRow(rowInMcu, rowBuffer[0]);
                convertRow(rowInMcu + 1, rowBuffer[1]);
            }
            rowInMcu += 2;
            secondRowPending = true;
        } else {
            convertRow(rowInMcu, rowBuffer[0]);
            rowInMcu += 1;
        }
        return rowBuffer[0];
    }
};

// ===========================================================================
// Public interface
// ===========================================================================

// The state (tables and the input buffer, over 100 KB) is the one allocation
// outside the table; if it fails the decoder reports -233 from every call.
JpegDecoder::JpegDecoder(jpeg_decoder_stream* stream, bool fastMode) : state(new (std::nothrow) JpegDecoderState)
{
    if (!state)
        return;
    JpegDecoderState& s = *state;
    s.stream = stream;
    s.fastMode = fastMode;
    s.useSimd = jpegk::haveSimd();
    if (!stream) {
        s.errorCode = kErrStream;
        return;
    }
    stream->attach();
    s.attached = true;
    try {
        s.readHeaders();
    } catch (const JpegFailure&) {
    }
}

JpegDecoder::~JpegDecoder()
{
    if (!state)
        return;
    state->freeAll();
    state->detachStream();
    delete state;
}

int32_t JpegDecoder::errorCode() const { return state ? state->errorCode : kErrMemory; }

int32_t JpegDecoder::damage() const
{
    if (!state)
        return 0;
    int32_t flags = 0;
    if (state->dataEnded)
        flags |= kJpegDataEnded;
    // Running short because the file ended is the ending, not corruption.
    if (state->extraBytes || (state->scanShort && !state->dataEnded))
        flags |= kJpegDataCorrupt;
    return flags;
}
int32_t JpegDecoder::width() const { return state ? state->width : 0; }
int32_t JpegDecoder::height() const { return state ? state->height : 0; }
int32_t JpegDecoder::components() const { return state ? state->compCount : 0; }
int32_t JpegDecoder::bytesPerPixel() const { return components() == 3 ? 4 : 1; }

void JpegDecoder::setSimd(bool enabled)
{
    if (state)
        state->useSimd = enabled && jpegk::haveSimd();
}

void JpegDecoder::setMemoryLimit(size_t bytes)
{
    if (state)
        state->memoryLimit = bytes;
}

int32_t JpegDecoder::begin()
{
    if (!state)
        return -1;
    JpegDecoderState& s = *state;
    if (s.begun)
        return 0;
    if (s.errorCode)
        return -1;
    try {
        s.beginDecoding();
    } catch (const JpegFailure&) {
        return -1;
    }
    s.begun = true;
    return 0;
}

int32_t JpegDecoder::decodeLine(const uint8_t** rowOut, uint32_t* bytesOut)
{
    if (!state)
        return -1;
    JpegDecoderState& s = *state;
    if (s.errorCode || !s.begun)
        return -1;
    if (s.rowsDelivered >= s.height)
        return 1;
    try {
        const uint8_t* row = s.nextRow();
        ++s.rowsDelivered;
        if (rowOut)
            *rowOut = row;
        if (bytesOut)
            *bytesOut = static_cast<uint32_t>(s.width * bytesPerPixel());
    } catch (const JpegFailure&) {
        return -227;
    }
    return 0;
}

const char* jpegDamageText(int32_t flags)
{
    if ((flags & kJpegDataEnded) && (flags & kJpegDataCorrupt))
        return "the data is corrupt and ends early";
    if (flags & kJpegDataEnded)
        return "the data ends early (the file is cut short)";
    if (flags & kJpegDataCorrupt)
        return "the data is corrupt";
    return "no damage";
}

const char* jpegErrorText(int32_t code)
{
    switch (code) {
    case 0: return "no error";
    case kErrHuffCounts: return "Huffman table: code counts add up to more than 255";
    case kErrHuffIndex: return "Huffman table: table index above 7";
    case kErrHuffLength: return "Huffman table: bad segment length";
    case kErrQuantLength: return "quantisation table: segment length below 2";
    case kErrQuantId: return "quantisation table: table id 4 or more";
    case kErrPrecision: return "frame header: sample precision is not 8 bits";
    case kErrHeight: return "frame header: height is 0 or above 8192";
    case kErrWidth: return "frame header: width is 0 or above 8192";
    case kErrTooManyComponents: return "frame header: more than 4 components";
    case kErrFrameLength: return "frame header: length does not match the component count";
    case kErrSkipLength: return "segment length below 2";
    case kErrRestartLength: return "restart interval: segment length is not 4";
    case kErrScanLength: return "scan header: bad length or component count";
    case kErrScanComponent: return "scan header: component not in the frame";
    case kErrArithmetic: return "arithmetic coding is not supported";
    case kErrUnexpectedMarker: return "unexpected marker, or no scan where one is required";
    case kErrNoSoi: return "no start-of-image marker found";
    case kErrFrameType: return "unsupported frame type (lossless, hierarchical or 12-bit)";
    case kErrQuantShort: return "quantisation table: segment too short for its tables";
    case kErrTooManyAllocations: return "more than 100 allocations";
    case kErrUndefinedQuant: return "scan uses an undefined quantisation table";
    case kErrUndefinedHuff: return "scan uses an undefined Huffman table";
    case kErrComponentCount: return "component count is not 1 or 3";
    case kErrSampling: return "unsupported sampling factors";
    case kErrCorrupt: return "corrupt entropy-coded data";
    case kErrRestart: return "expected restart marker not found";
    case kErrBlocks: return "MCU row above 6144 blocks, or coefficient index out of range";
    case kErrSpectral: return "bad progressive spectral selection";
    case kErrApprox: return "bad progressive successive approximation";
    case kErrStream: return "stream read error";
    case kErrMemory: return "out of memory";
    default: return "unknown error";
    }
}
