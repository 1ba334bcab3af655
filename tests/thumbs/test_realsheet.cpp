// The real mplayer makes sheets through the staged `quorvan thumbs`: on a 3-minute movie whose
// frames show their own time, every tile is the frame of its label's time, the labels are the
// asked positions within the keyframe distance, and the same movie stored in a RAR set gives
// the same tiles.
#include "platform/textutil.h"
#include "tests/support/testenv.h"
#include "tests/thumbs/cwd.h"
#include "thumbs/dibfile.h"
#include "thumbs/thumbfiles.h"
#include "thumbs/thumbmenu.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {
constexpr int kSeconds = 180;
constexpr int kFps = 25;

// Made once per build: testsrc draws the second it shows; a keyframe every second.
std::string TimedMovie() {
    static const std::string path = [] {
        std::string movie = TestBinDir() + "/thumbs-timed-180.avi";
        if (std::filesystem::exists(movie))
            return movie;
        std::string partial = movie + ".part.avi";
        int status = RunCommand({"ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                 "testsrc=size=320x240:rate=25:duration=180", "-c:v", "mpeg4",
                                 "-q:v", "4", "-g", "25", partial},
                                nullptr);
        if (status != 0)
            return std::string();
        std::filesystem::rename(partial, movie);
        return movie;
    }();
    return path;
}

struct Sheet {
    int status = -1;
    std::string output;
    QJsonObject json;
    QImage image;
};

Sheet RunThumbs(const std::string& movie, const std::string& dir) {
    Sheet sheet;
    Cwd cwd(dir);
    sheet.status = RunCommand({StageDir() + "/quorvan", "thumbs", "--json", "--width", "800",
                               "--across", "4", "--down", "4", movie},
                              &sheet.output);
    size_t brace = sheet.output.find('{');
    if (brace != std::string::npos)
        sheet.json =
            QJsonDocument::fromJson(QByteArray::fromStdString(sheet.output.substr(brace))).object();
    sheet.image = QImage(sheet.json["sheet"].toString());
    return sheet;
}

double Psnr(const QImage& a, const QImage& b, QRect area) {
    double sum = 0;
    long count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            QRgb p = a.pixel(x, y), q = b.pixel(x - area.left(), y - area.top());
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += d * d;
                ++count;
            }
        }
    double mse = sum / static_cast<double>(count);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

class RealSheet : public ::testing::Test {
  protected:
    void SetUp() override {
        if (TimedMovie().empty())
            GTEST_SKIP() << "ffmpeg could not make the test movie";
    }
    TempDir dir_;
};
} // namespace

TEST_F(RealSheet, EveryTileIsTheFrameOfItsLabelsTime) {
    Sheet sheet = RunThumbs(TimedMovie(), dir_.path());
    ASSERT_EQ(sheet.status, 0) << sheet.output;
    EXPECT_EQ(sheet.json["sheet"].toString().toStdString(),
              dir_.path() + "/thumbs-timed-180.avi.s.jpg");
    ASSERT_EQ(sheet.image.width(), 800);
    ASSERT_EQ(sheet.image.height(), 100 + 4 * 150);
    ASSERT_TRUE(Konvertuj2BMP(sheet.json["sheet"].toString().toStdString(), dir_.file("s.bmp")));
    auto bmp = DibLoadImage(dir_.file("s.bmp").c_str());
    SheetMarks marks = ReadLayoutMarks(bmp.get());
    EXPECT_EQ(marks.down, 4);
    EXPECT_EQ(marks.across, 4);

    QJsonArray frames = sheet.json["frames"].toArray();
    ASSERT_EQ(frames.size(), 16);
    std::string select;
    for (int k = 0; k < 16; ++k) {
        QJsonObject f = frames[k].toObject();
        int asked = f["seekPos"].toInt(), shown = f["videoTime"].toInt();
        EXPECT_EQ(asked, static_cast<int>(k * (kSeconds - 60) / 16.0 + 10));
        // The frame is the keyframe at or after the asked time: at most a second later.
        EXPECT_GE(shown, asked) << k;
        EXPECT_LE(shown, asked + 1) << k;
        EXPECT_EQ(f["x"].toInt(), (k % 4) * 200);
        EXPECT_EQ(f["y"].toInt(), 100 + (k / 4) * 150);
        select += (k > 0 ? "+" : "") + ("eq(n\\," + std::to_string(shown * kFps) + ")");
    }
    // ffmpeg's own frames at the labels' times, scaled to the tiles' size.
    ASSERT_EQ(RunCommand({"ffmpeg", "-loglevel", "error", "-y", "-i", TimedMovie(), "-vf",
                          "select='" + select + "',scale=200:150", "-vsync", "0",
                          dir_.file("ref%02d.png")},
                         nullptr),
              0);
    for (int k = 0; k < 16; ++k) {
        QImage reference(QString::fromStdString(dir_.file(Format("ref%02d.png", k + 1))));
        ASSERT_FALSE(reference.isNull()) << k;
        // Below the time label in the tile's corner.
        QRect tile((k % 4) * 200, 100 + (k / 4) * 150 + 16, 200, 134);
        EXPECT_GT(Psnr(sheet.image, reference.copy(0, 16, 200, 134), tile), 25.0) << "tile " << k;
    }
}

TEST_F(RealSheet, TheMovieStoredInARarSetGivesTheSameSheet) {
    TempDir setDir;
    std::string out;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v1M", "-vn",
                          setDir.file("timed.rar"), TimedMovie()},
                         &out),
              0)
        << out;
    Sheet loose = RunThumbs(TimedMovie(), dir_.path());
    Sheet stored = RunThumbs(setDir.file("timed.r00"), dir_.path());
    ASSERT_EQ(loose.status, 0) << loose.output;
    ASSERT_EQ(stored.status, 0) << stored.output;
    EXPECT_EQ(stored.json["sheet"].toString().toStdString(), dir_.path() + "/timed.rar.s.jpg");
    EXPECT_EQ(stored.json["frames"], loose.json["frames"]);
    ASSERT_EQ(stored.image.size(), loose.image.size());
    // The headers name different files; every block row of frames below them is the same.
    EXPECT_EQ(stored.image.copy(0, 112, 800, 700 - 112), loose.image.copy(0, 112, 800, 700 - 112));
}

TEST_F(RealSheet, BadMoviesAreRefusedWithAReason) {
    std::string out;
    std::filesystem::create_directories(dir_.file("folder.avi"));
    EXPECT_EQ(RunCommand({StageDir() + "/quorvan", "thumbs", dir_.file("folder.avi")}, &out), 1);
    EXPECT_NE(out.find("not a regular movie file"), std::string::npos) << out;
    WriteFile(dir_.file("noise.avi"), std::string(100000, 'x'));
    EXPECT_EQ(RunCommand({StageDir() + "/quorvan", "thumbs", dir_.file("noise.avi")}, &out), 4);
    EXPECT_NE(out.find("the player cannot play it"), std::string::npos) << out;
    EXPECT_EQ(
        RunCommand({StageDir() + "/quorvan", "thumbs", "--out", "x.jpg", "a.avi", "b.avi"}, &out),
        2);
}
