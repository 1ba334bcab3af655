#pragma once
// Windows bitmap files as the thumbnail work reads and writes them. Only a few header fields
// are relied upon: the "BM" signature, the stored file size (it must equal the real size), the
// pixel-data offset and the information header (12 bytes: the old core header with 16-bit
// width and height; anything else: the standard header with 32-bit fields, a negative height
// meaning top-down rows). A loaded image is one block holding the whole file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QImage;

// A whole bitmap file in memory.
struct DibImage {
    std::vector<uint8_t> bytes;
};

// What the header fields of a bitmap file say, checked against its real size.
struct DibFields {
    bool ok = false;
    int width = 0;
    int height = 0;       // absolute value
    bool topDown = false; // the standard header's height was negative
    int bitCount = 0;     // 0 when the header is too short to hold it
    uint32_t dataOffset = 0;
    uint32_t headerSize = 0;
};

// Pure parser of the fields above for `size` bytes at `data`. ok only when the signature is
// "BM", the stored size equals `size` and the information header fits in the file.
DibFields ParseDibFields(const uint8_t* data, size_t size);

// Reads the file at `path` (at most 4 GiB - 1 bytes) and returns it when the read was complete
// and ParseDibFields accepts it; otherwise nothing.
std::unique_ptr<DibImage> DibLoadImage(const char* path);
std::unique_ptr<DibImage> DibLoadImage3(const char* path);
// Width and height of a loaded image (height as absolute value).
int getDBIx(const DibImage* image);
int getDBIy(const DibImage* image);
// Writes as many bytes as the image's stored file size says; 1 when all were written, else the
// file is removed and 0 returned.
int DibSaveImage(const char* path, const DibImage* image);

// Blue value of pixel x of the picture's top row for an uncompressed 24-bit image, or -1 when
// the image is of another kind or x lies outside it or outside the pixel data.
int DibTopRowBlue(const DibImage* image, int x);

// A 24-bit bottom-up bitmap file of `image`.
std::unique_ptr<DibImage> DibFromQImage(const QImage& image);
// The picture of a loaded image (Qt decodes the pixel formats); null when it cannot.
QImage DibToQImage(const DibImage* image);
