// The BMP reader and writer, the sheet drawn from frame files, its marks read back after the
// JPEG round trip, and where the thumbnail window finds a sheet.
#include "platform/paths.h"
#include "platform/textutil.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"
#include "tests/thumbs/cwd.h"
#include "thumbs/dibfile.h"
#include "thumbs/sheet.h"
#include "thumbs/thumbfiles.h"
#include "thumbs/thumbmenu.h"

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <gtest/gtest.h>

namespace {
std::string Bytes(const DibImage& image) {
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::unique_ptr<DibImage> Parsed(const std::string& bytes) {
    auto image = std::make_unique<DibImage>();
    image->bytes.assign(bytes.begin(), bytes.end());
    return image;
}

void Put32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(v >> (8 * i));
}

QImage Gradient(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
    return image;
}

} // namespace

TEST(DibFile, AWrittenBitmapReadsBackWithItsSizeAndPixels) {
    TempDir dir;
    QImage picture = Gradient(37, 11); // rows padded to 4 bytes
    auto dib = DibFromQImage(picture);
    ASSERT_TRUE(dib);
    ASSERT_EQ(DibSaveImage(dir.file("a.bmp").c_str(), dib.get()), 1);
    auto loaded = DibLoadImage(dir.file("a.bmp").c_str());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(getDBIx(loaded.get()), 37);
    EXPECT_EQ(getDBIy(loaded.get()), 11);
    QImage back = DibToQImage(loaded.get()).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, picture);
    // The top row of a bottom-up file is its last one.
    EXPECT_EQ(DibTopRowBlue(loaded.get(), 3), 128);
}

TEST(DibFile, AStoredSizeOffByOneOrAStrangeHeaderIsHandled) {
    std::string bytes = Bytes(*DibFromQImage(Gradient(8, 4)));
    std::string longer = bytes + "x";
    std::string shorter = bytes.substr(0, bytes.size() - 1);
    EXPECT_FALSE(ParseDibFields(reinterpret_cast<const uint8_t*>(longer.data()), longer.size()).ok);
    EXPECT_FALSE(
        ParseDibFields(reinterpret_cast<const uint8_t*>(shorter.data()), shorter.size()).ok);
    TempDir dir;
    WriteFile(dir.file("long.bmp"), longer);
    EXPECT_FALSE(DibLoadImage(dir.file("long.bmp").c_str()));
    EXPECT_FALSE(DibLoadImage(dir.path().c_str())); // a folder
    EXPECT_FALSE(DibLoadImage(dir.file("none.bmp").c_str()));

    // A top-down bitmap reports its height as a positive number, and its top row is first.
    std::string topDown = bytes;
    Put32(topDown, 22, static_cast<uint32_t>(-4));
    auto image = Parsed(topDown);
    EXPECT_EQ(getDBIy(image.get()), 4);
    EXPECT_EQ(getDBIx(image.get()), 8);
    EXPECT_NE(DibTopRowBlue(image.get(), 0), -1);
    Put32(topDown, 22, 0x80000000u);
    EXPECT_FALSE(ParseDibFields(Parsed(topDown)->bytes.data(), topDown.size()).ok);

    // The old core header: 16-bit width and height.
    std::string core(26, '\0');
    core[0] = 'B';
    core[1] = 'M';
    Put32(core, 2, 26);
    Put32(core, 10, 26);
    Put32(core, 14, 12);
    core[18] = 5;
    core[20] = 3;
    DibFields f = ParseDibFields(reinterpret_cast<const uint8_t*>(core.data()), core.size());
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.width, 5);
    EXPECT_EQ(f.height, 3);
    // Pixel data the offset points past is never read.
    EXPECT_EQ(DibTopRowBlue(Parsed(core).get(), 0), -1);
}

TEST(ThumbSheet, SixteenFramesMakeAnEightHundredBySevenHundredSheetWithReadableMarks) {
    TempDir dir;
    RecorderPort port;
    ScopedPort scoped(&port);
    for (int k = 1; k <= 16; ++k) {
        // Frames larger than asked are scaled to the sheet's frame width.
        QImage frame(400, 300, QImage::Format_RGB32);
        frame.fill(qRgb(10 * k, 255 - 10 * k, 60));
        ASSERT_TRUE(frame.save(QString::fromStdString(dir.file(Format("shot%04d.png", k)))));
    }
    EXPECT_EQ(ConvertPNG(dir.path(), 200), 16);
    std::vector<thumbitem> items(16);
    for (int i = 0; i < 16; ++i)
        items[i].videoTime = 61 * i;
    SheetInput input;
    input.workDir = dir.path();
    input.width = 800;
    input.across = 4;
    input.down = 4;
    input.viewName = "film.avi";
    input.videoInfoLine = "VIDEO:  [XVID]  640x480  24bpp  25.000 fps\r";
    input.movieLength = 3599;
    input.fileSize = 5000000000LL;
    input.logoPath = SourceDir() + "/resources/logo.bmp";
    QImage sheet = ComposeSheet(input, items);
    ASSERT_FALSE(sheet.isNull());
    EXPECT_EQ(sheet.width(), 800);
    EXPECT_EQ(sheet.height(), 700);
    EXPECT_EQ(port.Events().size(), 0u);
    EXPECT_EQ(items[5].x, 200);
    EXPECT_EQ(items[5].y, 250);
    EXPECT_EQ(items[5].cx, 200);
    EXPECT_EQ(items[5].cy, 150);
    EXPECT_EQ(qRed(sheet.pixel(300, 330)), 60); // frame 6 in its cell (label at the corner)
    EXPECT_EQ(sheet.pixel(4, 1), qRgb(0, 0, 0));
    EXPECT_EQ(sheet.pixel(44, 0), qRgb(0, 0, 0));
    EXPECT_EQ(sheet.pixel(5, 0), qRgb(255, 255, 255));

    // The window reads the marks back from the BMP form of the saved JPEG.
    ASSERT_TRUE(SaveSheetJpeg(sheet, dir.file("film.avi.s.jpg")));
    ASSERT_TRUE(Konvertuj2BMP(dir.file("film.avi.s.jpg"), dir.file("film.avi.s.bmp")));
    auto bmp = DibLoadImage3(dir.file("film.avi.s.bmp").c_str());
    ASSERT_TRUE(bmp);
    SheetMarks marks = ReadLayoutMarks(bmp.get());
    EXPECT_EQ(marks.down, 4);
    EXPECT_EQ(marks.across, 4);
    EXPECT_EQ(RebuildFrameList(800, 700, marks, 3599)[5].x, 200);
}

TEST(ThumbSheet, MissingLogoAndFramesAreReported) {
    TempDir dir;
    RecorderPort port;
    ScopedPort scoped(&port);
    SheetInput input;
    input.workDir = dir.path();
    input.width = 400;
    input.across = 2;
    input.down = 2;
    input.logoPath = dir.file("logo.bmp");
    std::vector<thumbitem> items;
    EXPECT_TRUE(ComposeSheet(input, items).isNull());
    EXPECT_TRUE(port.Has("message:Cannot load logo:" + dir.file("logo.bmp")));
    EXPECT_TRUE(port.Has("message:Cannot load DIB file:" + dir.path() + "/shot0001.bmp"));

    port.Clear();
    for (int k : {1, 2, 4})
        DibSaveImage(dir.file(Format("shot%04d.bmp", k)).c_str(),
                     DibFromQImage(Gradient(200, 100)).get());
    QImage sheet = ComposeSheet(input, items);
    ASSERT_FALSE(sheet.isNull());
    EXPECT_EQ(sheet.height(), 100 + 2 * 100); // header of 100 without a logo
    EXPECT_TRUE(port.Has("message:XXX:" + dir.path() + "/shot0003.bmp"));
}

TEST(ThumbFiles, ASheetSavedAwayFromTheMovieSaysWhereAndWhy) {
    TempDir movies, work;
    RecorderPort port;
    ScopedPort scoped(&port);
    Cwd cwd(work.path());
    std::string movie = movies.file("film.avi");
    WriteFile(movie, "movie");
    QImage sheet = Gradient(64, 40);
    ASSERT_EQ(SaveCliptoFile(sheet, movie), 1);
    const std::string saved = work.path() + "/film.avi.s.jpg";
    EXPECT_TRUE(IsFileExist(saved.c_str()));
    EXPECT_TRUE(port.Has("message:thumb.s.jpg:Saved " + saved +
                         "\nThe sheet is not beside the movie, but in: " + work.path()));

    // Beside the movie: the path alone.
    EXPECT_EQ(SheetSavedText(movie + ".s.jpg", movie), "Saved " + movie + ".s.jpg");
    // A folder where not even root makes a file.
    EXPECT_EQ(SheetSavedText(saved, "/proc/film.avi"),
              "Saved " + saved +
                  "\nThe movie's folder cannot be written, so the sheet is not beside the movie, "
                  "but in: " +
                  work.path());
    EXPECT_EQ(SheetSavedText(saved, "http://example.org/film.avi"), "Saved " + saved);
}

TEST(ThumbFiles, TheWindowFindsTheSheetBesideTheMovieOrInTheWorkingFolder) {
    TempDir movies, work, temp;
    RecorderPort port;
    ScopedPort scoped(&port);
    Cwd cwd(work.path());
    setenv("TMPDIR", temp.path().c_str(), 1);
    std::string movie = movies.file("film.avi");
    WriteFile(movie, "movie");
    Mp1.movieFile = movie;
    EXPECT_EQ(SheetJpegPath(movie), work.path() + "/film.avi.s.jpg");

    // The sheet saved in the working folder is converted into the temporary folder.
    ASSERT_TRUE(Gradient(64, 40).save(QString::fromStdString(work.file("film.avi.s.jpg"))));
    EXPECT_EQ(PrzygotujPlikForThumbmenu(1), 1);
    EXPECT_EQ(Mp1.thumbnailFile, temp.path() + "/film.avi.s.bmp");
    EXPECT_TRUE(DibLoadImage(Mp1.thumbnailFile.c_str()));

    // A sheet beside the movie wins, converted beside it when that folder is writable.
    ASSERT_TRUE(Gradient(64, 40).save(QString::fromStdString(movie + ".s.jpg")));
    EXPECT_EQ(PrzygotujPlikForThumbmenu(1), 1);
    EXPECT_EQ(Mp1.thumbnailFile, movie + ".s.bmp");
    EXPECT_EQ(IsFileExist((movie + ".TEST").c_str()), 0);

    // Nothing at all, already retried: the message only.
    Mp1.movieFile = movies.file("other.avi");
    Mp1.thumbnailFile = "kept";
    EXPECT_EQ(PrzygotujPlikForThumbmenu(1), 0);
    EXPECT_TRUE(port.Has("message:Error:First you must generate some files!"));
    EXPECT_EQ(Mp1.thumbnailFile, "kept");
    Mp1.movieFile.clear();
    Mp1.thumbnailFile.clear();
    unsetenv("TMPDIR");
}

// File names are bytes: a movie whose name is not UTF-8 gets its sheet and the sheet's bitmap
// under names that keep them.
TEST(ThumbFiles, ANameThatIsNotUtf8KeepsItsBytesInTheFilesBesideIt) {
    TempDir movies;
    RecorderPort port;
    ScopedPort scoped(&port);
    std::string movie = movies.file("bad\xff\xfe name.avi");
    WriteFile(movie, "movie");
    SetPlayerFolder(movies.path());
    EXPECT_EQ(SaveCliptoFile(Gradient(64, 40), movie), 1);
    SetPlayerFolder("");
    std::string sheet = movies.file("bad\xff\xfe name.avi.s.jpg");
    ASSERT_TRUE(IsFileExist(sheet.c_str())) << "the sheet of bad\\xff.avi is bad\\xff.avi.s.jpg";
    EXPECT_EQ(LoadImageFile(sheet).width(), 64);
    EXPECT_TRUE(Konvertuj2BMP(sheet, movie + ".s.bmp"));
    EXPECT_TRUE(DibLoadImage((movie + ".s.bmp").c_str()));
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(movies.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 3u) << "no file under a name with replacement characters";
}
