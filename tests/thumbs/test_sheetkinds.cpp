// Sheets of the kinds of movies users have, through the staged `quorvan thumbs` and the real
// mplayer: the two MPEG-TS recordings, a one-minute movie and one whose keyframes lie ten
// seconds apart each give 16 different frames, every tile the movie's frame at its label's time;
// the sheet tells the movie's length and, for a stored set, the stored movie's size; and no seek
// that reaches mplayer goes below 0 or past the movie's end.
#include "platform/cmdline.h"
#include "platform/textutil.h"
#include "tests/support/testenv.h"
#include "tests/support/testmovies.h"
#include "tests/thumbs/cwd.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>

namespace {
struct Sheet {
    int status = -1;
    std::string output;
    QJsonObject json;
    QImage image;
};

double Psnr(const QImage& sheet, QRect tile, const QImage& reference) {
    double sum = 0;
    long count = 0;
    for (int y = tile.top(); y <= tile.bottom(); ++y)
        for (int x = tile.left(); x <= tile.right(); ++x) {
            QRgb p = sheet.pixel(x, y), q = reference.pixel(x - tile.left(), y - tile.top());
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += d * d;
                ++count;
            }
        }
    double mse = sum / static_cast<double>(count);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

class SheetKinds : public ::testing::Test {
  protected:
    void SetUp() override {
        // mplayer as the wrapper runs it, with every slave command it gets written to a log.
        log_ = dir_.file("mplayer.log");
        WriteFile(dir_.file("mplayer"),
                  "#!/bin/sh\ncase \" $* \" in\n*\" -slave \"*) tee -a " + ShellQuote(log_) +
                      " | exec mplayer \"$@\";;\n*) exec mplayer \"$@\";;\nesac\n");
        chmod(dir_.file("mplayer").c_str(), 0755);
        setenv("QUORVAN_MPLAYER", dir_.file("mplayer").c_str(), 1);
    }
    void TearDown() override { unsetenv("QUORVAN_MPLAYER"); }

    Sheet Run(const std::string& movie) {
        Sheet sheet;
        std::filesystem::remove(log_);
        Cwd cwd(work_.path());
        sheet.status = RunCommand({StageDir() + "/quorvan", "thumbs", "--json", "--width", "800",
                                   "--across", "4", "--down", "4", movie},
                                  &sheet.output);
        size_t brace = sheet.output.find('{');
        if (brace != std::string::npos)
            sheet.json =
                QJsonDocument::fromJson(QByteArray::fromStdString(sheet.output.substr(brace)))
                    .object();
        sheet.image = QImage(sheet.json["sheet"].toString());
        return sheet;
    }

    // Every seek mplayer was sent lies within the movie of `seconds`.
    void ExpectSeeksWithinTheMovie(double seconds) {
        std::vector<std::string> lines = ReadLines(log_);
        int seeks = 0;
        for (const std::string& line : lines) {
            size_t at = line.find("seek ");
            if (at == std::string::npos || (line.compare(0, 7, "pausing") != 0 && at != 0))
                continue;
            double value = 0;
            int type = 0;
            int fields = std::sscanf(line.c_str() + at, "seek %lf %d", &value, &type);
            ASSERT_GE(fields, 1) << line;
            ++seeks;
            EXPECT_NE(fields == 2 ? type : 0, 0) << "no relative seek: " << line;
            EXPECT_GE(value, 0) << line;
            EXPECT_LE(value, type == 1 ? 100.0 : seconds) << line;
        }
        EXPECT_GE(seeks, 1) << "the log holds the series";
    }

    // 16 different frames, each the movie's frame at its label's time, not the one a second
    // before or after it.
    void ExpectFramesAtTheirLabels(const Sheet& sheet, const std::string& movie, int seconds) {
        QJsonArray frames = sheet.json["frames"].toArray();
        ASSERT_EQ(frames.size(), 16);
        std::vector<int> labels;
        std::set<int> wanted;
        for (int k = 0; k < 16; ++k) {
            int t = frames[k].toObject()["videoTime"].toInt();
            labels.push_back(t);
            EXPECT_GE(t, 0);
            EXPECT_LT(t, seconds);
            if (k > 0) {
                EXPECT_GT(t, labels[k - 1]) << "tile " << k << " repeats or goes back";
            }
            for (int d : {-1, 0, 1})
                if (t + d >= 0 && t + d < seconds)
                    wanted.insert(t + d);
        }
        // ffmpeg's own frames at those seconds, in order, scaled to the tiles' size.
        std::string select;
        for (int t : wanted)
            select +=
                (select.empty() ? "" : "+") + ("eq(n\\," + std::to_string(t * kMadeMovieFps) + ")");
        ASSERT_EQ(RunCommand({"ffmpeg", "-loglevel", "error", "-y", "-i", movie, "-vf",
                              "select='" + select + "',scale=200:150", "-vsync", "0",
                              work_.file("ref%03d.png")},
                             nullptr),
                  0);
        std::map<int, QImage> reference;
        int index = 1;
        for (int t : wanted)
            reference[t] =
                QImage(QString::fromStdString(work_.file(Format("ref%03d.png", index++))))
                    .copy(0, 16, 200, 134);
        for (int k = 0; k < 16; ++k) {
            // Below the time label in the tile's corner.
            QRect tile((k % 4) * 200, 100 + (k / 4) * 150 + 16, 200, 134);
            int t = labels[static_cast<size_t>(k)];
            ASSERT_FALSE(reference[t].isNull()) << t;
            // Small movies, compressed, scaled twice and saved as JPEG match their frame at
            // some 20 dB; a grey picture, or another one, lies far below.
            double own = Psnr(sheet.image, tile, reference[t]);
            EXPECT_GT(own, 18.0) << "tile " << k << " at " << t;
            for (int other : {t - 1, t + 1})
                if (reference.count(other) != 0) {
                    EXPECT_GT(own, Psnr(sheet.image, tile, reference[other]))
                        << "tile " << k << " labelled " << t << " shows " << other;
                }
        }
    }

    void ExpectSheetOf(const std::string& movie, int seconds) {
        SCOPED_TRACE(movie);
        Sheet sheet = Run(movie);
        ASSERT_EQ(sheet.status, 0) << sheet.output;
        ASSERT_EQ(sheet.image.size(), QSize(800, 700));
        EXPECT_NEAR(sheet.json["length"].toInt(), seconds, 1);
        EXPECT_EQ(sheet.json["size"].toInteger(),
                  static_cast<qint64>(std::filesystem::file_size(movie)));
        ExpectFramesAtTheirLabels(sheet, movie, seconds);
        ExpectSeeksWithinTheMovie(seconds);
    }

    TempDir dir_, work_;
    std::string log_;
};
} // namespace

TEST_F(SheetKinds, RecordingsShortMoviesAndLongKeyframeDistancesGiveAFramePerTile) {
    std::string minute = GeneratedMovie(60);
    ASSERT_FALSE(minute.empty()) << "ffmpeg could not make the test movie";
    ExpectSheetOf(minute, 60);
    for (TestMovie kind : {TestMovie::H264Ts, TestMovie::Mpeg2Ts, TestMovie::LongKeyframes}) {
        std::string movie = MadeMovie(kind);
        ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the test movie";
        ExpectSheetOf(movie, kMadeMovieSeconds);
    }
}

TEST_F(SheetKinds, AStoredRecordingTellsTheStoredMoviesSize) {
    std::string movie = MadeMovie(TestMovie::H264Ts);
    ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the test movie";
    TempDir set;
    std::string out;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v500k", "-vn",
                          set.file("rec.rar"), movie},
                         &out),
              0)
        << out;
    ASSERT_TRUE(std::filesystem::exists(set.file("rec.r02")));
    Sheet loose = Run(movie);
    Sheet stored = Run(set.file("rec.r01"));
    ASSERT_EQ(stored.status, 0) << stored.output;
    EXPECT_EQ(stored.json["size"].toInteger(),
              static_cast<qint64>(std::filesystem::file_size(movie)));
    EXPECT_NEAR(stored.json["length"].toInt(), kMadeMovieSeconds, 1);
    EXPECT_EQ(stored.json["frames"], loose.json["frames"]);
    ExpectFramesAtTheirLabels(stored, movie, kMadeMovieSeconds);
    ExpectSeeksWithinTheMovie(kMadeMovieSeconds);
}
