#include "thumbs/sheet.h"

#include "online/moviehash.h"
#include "online/moviesource.h"
#include "platform/fdio.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "platform/rarnames.h"
#include "thumbs/dibfile.h"

#include <QBuffer>
#include <QFont>
#include <QPainter>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

const char* SloganFor(int milliseconds) {
    int m = milliseconds % 13;
    if (m < 0)
        m += 13;
    if (m <= 6)
        return "Play RAR movies without unpacking";
    if (m <= 9)
        return "Fastest movies thumbnails generator";
    return "Automatic download subtitles";
}

long long SheetMovieSize(const std::string& movie) {
    std::string first = movie;
    ZrobPierwszyPart(first);
    if (FindFirstVolumeRule(first) == nullptr)
        return GetFileSizeForName(movie);
    // A reader of its own: the sheet is made while the windows may use the shared one.
    RarVolumeSet reader;
    MovieSource source(first, reader);
    return source.ok() ? static_cast<long long>(source.size()) : GetFileSizeForName(movie);
}

std::string GetViewNameFile(const std::string& path) {
    bool xvid = path.find("XviD") != std::string::npos;
    bool divx = path.find("DivX") != std::string::npos;
    if (xvid && !divx) {
        for (size_t pos = path.rfind('/'); pos != std::string::npos;
             pos = pos == 0 ? std::string::npos : path.rfind('/', pos - 1)) {
            std::string rest = path.substr(pos + 1);
            if (rest.find("XviD") != std::string::npos || rest.find("DivX") != std::string::npos)
                return rest;
        }
        return path;
    }
    size_t pos = path.rfind('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

int ConvertPNG(const std::string& workDir, int frameWidth) {
    DIR* dir = opendir(workDir.c_str());
    if (dir == nullptr)
        return 0;
    int converted = 0;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (fnmatch("shot0???.png", name.c_str(), 0) != 0)
            continue;
        std::string source = workDir + "/" + name;
        QImage frame = LoadImageFile(source);
        if (frame.isNull())
            continue;
        if (frameWidth > 0 && frame.width() != frameWidth)
            frame = frame.scaledToWidth(frameWidth, Qt::SmoothTransformation);
        auto dib = DibFromQImage(frame);
        std::string target = source.substr(0, source.size() - 4) + ".bmp";
        if (dib && DibSaveImage(target.c_str(), dib.get()) == 1)
            ++converted;
    }
    closedir(dir);
    return converted;
}

namespace {
const QColor kHeaderText(89, 0, 0);
const QColor kRed(255, 0, 0);

QFont HeaderFont() {
    QFont font;
    font.setPixelSize(13);
    return font;
}

// Text with its top-left corner (or top-right corner, when `right`) at (x, y).
void TextAt(QPainter& painter, int x, int y, const QString& text, bool right = false) {
    QFontMetrics metrics(painter.font());
    int width = metrics.horizontalAdvance(text);
    int left = right ? x - width : x;
    painter.drawText(left, y + metrics.ascent(), text);
}
} // namespace

QImage ComposeSheet(const SheetInput& in, std::vector<thumbitem>& items) {
    int headerHeight = 100;
    QImage logo;
    auto logoDib = DibLoadImage(in.logoPath.c_str());
    if (logoDib) {
        headerHeight = getDBIy(logoDib.get());
        logo = DibToQImage(logoDib.get());
    } else {
        Port().MessageBox(in.logoPath, "Cannot load logo", MB_OK_);
    }

    std::string first = Format("%s/shot0%03d.bmp", in.workDir.c_str(), 1);
    auto firstDib = DibLoadImage(first.c_str());
    if (!firstDib) {
        Port().MessageBox(first, "Cannot load DIB file", MB_OK_);
        return QImage();
    }
    const int fw = getDBIx(firstDib.get());
    const int fh = getDBIy(firstDib.get());
    firstDib.reset();

    const int down = in.down > 0 ? in.down : 1;
    const int across = in.across > 0 ? in.across : 1;
    const long long height = static_cast<long long>(down) * fh + headerHeight;
    // A sheet Qt cannot hold is refused like a missing frame rather than drawn half.
    if (in.width <= 0 || height <= 0 || height > 32767 || in.width > 32767) {
        Port().MessageBox(first, "Cannot load DIB file", MB_OK_);
        return QImage();
    }
    QImage sheet(in.width, static_cast<int>(height), QImage::Format_RGB32);
    sheet.fill(Qt::black);
    QPainter painter(&sheet);
    painter.fillRect(0, 0, in.width, headerHeight, Qt::white);
    if (!logo.isNull())
        painter.drawImage(in.width - logo.width(), 0, logo);

    painter.setFont(HeaderFont());
    painter.setPen(kHeaderText);
    std::string video = in.videoInfoLine;
    if (!video.empty())
        video.pop_back(); // its line end
    long long fileSize32 = static_cast<int32_t>(static_cast<uint32_t>(in.fileSize));
    TextAt(painter, 10, 10, QString::fromLocal8Bit(in.viewName.c_str()));
    TextAt(painter, 10, 30, QString::fromLocal8Bit(video.c_str()));
    TextAt(painter, 10, 50,
           QString::fromStdString(Format("TIME: %dmin", static_cast<int>(in.movieLength) / 60)));
    TextAt(painter, 10, 70, QString::fromStdString(Format("FILESIZE: %lld bytes", fileSize32)));
    painter.setPen(kRed);
    TextAt(painter, in.width - 20, 76, SloganFor(in.milliseconds), true);

    // The layout marks, read back by the thumbnail window.
    painter.fillRect(down, 0, 1, 2, Qt::black);
    painter.fillRect(across + 40, 0, 1, 2, Qt::black);

    for (int r = 0; r < down; ++r) {
        for (int s = 0; s < across; ++s) {
            int k = r * across + s + 1;
            std::string path = Format("%s/shot0%03d.bmp", in.workDir.c_str(), k);
            auto dib = DibLoadImage(path.c_str());
            QImage frame = dib ? DibToQImage(dib.get()) : QImage();
            if (frame.isNull()) {
                Port().MessageBox(path, "XXX", MB_OK_);
                continue;
            }
            const int x = s * fw;
            const int y = r * fh + headerHeight;
            painter.drawImage(x, y, frame);
            if (static_cast<size_t>(k) <= items.size()) {
                thumbitem& item = items[static_cast<size_t>(k - 1)];
                item.x = x;
                item.y = y;
                item.cx = frame.width();
                item.cy = frame.height();
                TextAt(painter, x, y,
                       QString::fromStdString(
                           Format("%02d:%02d", item.videoTime / 60, item.videoTime % 60)));
            }
        }
    }
    painter.end();
    return sheet;
}

// File names are bytes: Qt's own file names are text, and a name that is not UTF-8 (a movie
// from an old archive) would lose its bytes on the way. The image is coded in memory and the
// file opened by its bytes.
bool SaveSheetJpeg(const QImage& sheet, const std::string& path) {
    if (sheet.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!sheet.save(&buffer, "JPEG", 90))
        return false;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteAllBlocking(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    ok = close(fd) == 0 && ok;
    if (!ok)
        unlink(path.c_str());
    return ok;
}

QImage LoadImageFile(const std::string& path) {
    std::string bytes;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return QImage();
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char chunk[65536];
        ssize_t n;
        while ((n = read(fd, chunk, sizeof(chunk))) > 0)
            bytes.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                            static_cast<int>(bytes.size()));
}
