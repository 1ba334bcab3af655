#include "thumbs/dibfile.h"

#include <QBuffer>
#include <QImage>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
uint32_t Le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | Le16(p + 2) << 16;
}
void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}
constexpr size_t kFileHeader = 14;
} // namespace

DibFields ParseDibFields(const uint8_t* data, size_t size) {
    DibFields f;
    if (data == nullptr || size < kFileHeader + 4 || Le16(data) != 0x4D42)
        return f;
    if (static_cast<uint64_t>(Le32(data + 2)) != static_cast<uint64_t>(size))
        return f;
    f.dataOffset = Le32(data + 10);
    f.headerSize = Le32(data + 14);
    if (f.headerSize == 12) {
        if (size < kFileHeader + 12)
            return f;
        f.width = static_cast<int>(Le16(data + 18));
        f.height = static_cast<int>(Le16(data + 20));
        f.bitCount = static_cast<int>(Le16(data + 24));
    } else {
        if (size < kFileHeader + 12)
            return f;
        int32_t width = static_cast<int32_t>(Le32(data + 18));
        int32_t height = static_cast<int32_t>(Le32(data + 22));
        f.width = width;
        f.topDown = height < 0;
        // The absolute value of the most negative height does not fit: such a file is refused.
        if (height == INT32_MIN)
            return f;
        f.height = height < 0 ? -height : height;
        f.bitCount = size >= kFileHeader + 16 ? static_cast<int>(Le16(data + 28)) : 0;
    }
    f.ok = true;
    return f;
}

namespace {
std::unique_ptr<DibImage> LoadWhole(const char* path) {
    if (path == nullptr)
        return nullptr;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 0xFFFFFFFELL) {
        close(fd);
        return nullptr;
    }
    auto image = std::make_unique<DibImage>();
    image->bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < image->bytes.size()) {
        ssize_t n = read(fd, image->bytes.data() + done, image->bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    if (done != image->bytes.size())
        return nullptr;
    if (!ParseDibFields(image->bytes.data(), image->bytes.size()).ok)
        return nullptr;
    return image;
}
} // namespace

std::unique_ptr<DibImage> DibLoadImage(const char* path) {
    return LoadWhole(path);
}

std::unique_ptr<DibImage> DibLoadImage3(const char* path) {
    return LoadWhole(path);
}

int getDBIx(const DibImage* image) {
    if (image == nullptr)
        return 0;
    return ParseDibFields(image->bytes.data(), image->bytes.size()).width;
}

int getDBIy(const DibImage* image) {
    if (image == nullptr)
        return 0;
    return ParseDibFields(image->bytes.data(), image->bytes.size()).height;
}

int DibSaveImage(const char* path, const DibImage* image) {
    if (path == nullptr || image == nullptr || image->bytes.size() < 6)
        return 0;
    size_t stored = Le32(image->bytes.data() + 2);
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return 0;
    size_t length = stored < image->bytes.size() ? stored : image->bytes.size();
    bool ok = std::fwrite(image->bytes.data(), 1, length, file) == length && length == stored;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::remove(path);
        return 0;
    }
    return 1;
}

int DibTopRowBlue(const DibImage* image, int x) {
    if (image == nullptr)
        return -1;
    DibFields f = ParseDibFields(image->bytes.data(), image->bytes.size());
    if (!f.ok || f.bitCount != 24 || x < 0 || x >= f.width || f.height <= 0)
        return -1;
    if (f.headerSize != 12 && f.headerSize >= 20 && Le32(image->bytes.data() + 30) != 0)
        return -1; // compressed
    uint64_t stride = (static_cast<uint64_t>(f.width) * 3 + 3) / 4 * 4;
    uint64_t row = f.topDown ? 0 : static_cast<uint64_t>(f.height) - 1;
    uint64_t at = f.dataOffset + row * stride + static_cast<uint64_t>(x) * 3;
    if (at >= image->bytes.size())
        return -1;
    return image->bytes[static_cast<size_t>(at)];
}

std::unique_ptr<DibImage> DibFromQImage(const QImage& source) {
    if (source.isNull())
        return nullptr;
    QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    const uint32_t width = static_cast<uint32_t>(rgb.width());
    const uint32_t height = static_cast<uint32_t>(rgb.height());
    const uint32_t stride = (width * 3 + 3) / 4 * 4;
    const uint32_t offset = kFileHeader + 40;
    const uint64_t total = offset + static_cast<uint64_t>(stride) * height;
    if (total > 0xFFFFFFFEULL)
        return nullptr;
    auto image = std::make_unique<DibImage>();
    image->bytes.assign(static_cast<size_t>(total), 0);
    uint8_t* p = image->bytes.data();
    Put16(p, 0x4D42);
    Put32(p + 2, static_cast<uint32_t>(total));
    Put32(p + 10, offset);
    Put32(p + 14, 40);
    Put32(p + 18, width);
    Put32(p + 22, height);
    Put16(p + 26, 1);
    Put16(p + 28, 24);
    Put32(p + 34, stride * height);
    Put32(p + 38, 2835); // 72 dpi
    Put32(p + 42, 2835);
    for (uint32_t y = 0; y < height; ++y) {
        const uchar* line = rgb.constScanLine(static_cast<int>(y));
        uint8_t* out = p + offset + static_cast<size_t>(height - 1 - y) * stride;
        for (uint32_t x = 0; x < width; ++x) {
            out[x * 3] = line[x * 3 + 2];
            out[x * 3 + 1] = line[x * 3 + 1];
            out[x * 3 + 2] = line[x * 3];
        }
    }
    return image;
}

QImage DibToQImage(const DibImage* image) {
    if (image == nullptr || image->bytes.size() > static_cast<size_t>(INT32_MAX))
        return QImage();
    QImage picture;
    picture.loadFromData(image->bytes.data(), static_cast<int>(image->bytes.size()), "BMP");
    return picture;
}
