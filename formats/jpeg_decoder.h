// Baseline, extended and progressive Huffman JPEG decoder with a row-at-a-time
// interface. Reads from an abstract byte stream; never trusts a size from the file.
// Rows: colour images give 4 bytes per pixel (R, G, B, untouched), greyscale 1.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class jpeg_decoder_stream {
public:
    virtual ~jpeg_decoder_stream() {}
    // Stores up to maxBytes; returns the count, or -1 on a read error. Sets
    // *eofFlag when the source has no more data.
    virtual int32_t read(uint8_t* buffer, int32_t maxBytes, bool* eofFlag) = 0;
    virtual void attach() {}
    virtual void detach() {}
};

class jpeg_decoder_file_stream : public jpeg_decoder_stream {
public:
    jpeg_decoder_file_stream() = default;
    ~jpeg_decoder_file_stream() override;
    jpeg_decoder_file_stream(const jpeg_decoder_file_stream&) = delete;
    jpeg_decoder_file_stream& operator=(const jpeg_decoder_file_stream&) = delete;

    // Closes any open file, clears the flags and opens path with mode "rb". A
    // folder, FIFO or device is refused unopened; whyNot() then says why.
    bool open(const char* path);
    void close();
    const std::string& whyNot() const { return whyNot_; }
    int32_t read(uint8_t* buffer, int32_t maxBytes, bool* eofFlag) override;

private:
    FILE* file = nullptr;
    bool eof = false;
    bool error = false;
    std::string whyNot_;
};

struct JpegDecoderState; // the decoder's tables and buffers

class JpegDecoder {
public:
    // Reads up to and including the frame header; errors land in errorCode().
    JpegDecoder(jpeg_decoder_stream* stream, bool fastMode);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    int32_t errorCode() const;
    // Damage that decoding went through (kJpegData* flags), known once the last
    // row has been delivered: the picture is what the decoder made of it.
    int32_t damage() const;
    int32_t width() const;
    int32_t height() const;
    int32_t components() const;    // 1 or 3
    int32_t bytesPerPixel() const; // 1 greyscale, 4 colour

    // 0 on success or when already begun, -1 on error.
    int32_t begin();
    // 0 with the next row, 1 when every row has been delivered, -227 when an
    // error occurs now, -1 after an error or before begin.
    int32_t decodeLine(const uint8_t** rowOut, uint32_t* bytesOut);

    // Before begin(): use the SSE2 kernels (default where available) or the
    // portable ones; both give the same bytes.
    void setSimd(bool enabled);
    // Before begin(): refuse image buffers beyond this many bytes (error -233).
    void setMemoryLimit(size_t bytes);

private:
    JpegDecoderState* state;
};

// Flags of JpegDecoder::damage().
constexpr int32_t kJpegDataEnded = 1;   // the file ends before the image does
constexpr int32_t kJpegDataCorrupt = 2; // the coded data does not fit its headers

// Text of damage flags, for messages ("the data ends early ...").
const char* jpegDamageText(int32_t flags);
// Text of an error code, for tools and messages.
const char* jpegErrorText(int32_t code);
