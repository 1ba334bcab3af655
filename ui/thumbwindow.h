#pragma once
// "Thumb Menu 1": the thumbnail sheet of the loaded movie in a scrollable window; a click on a
// frame seeks the playing movie to that frame's time. One window at a time.
#include "thumbs/dibfile.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

class QScrollBar;
class ThumbCanvas;

class ThumbMenuWindow : public QMainWindow {
  public:
    ThumbMenuWindow();
    ~ThumbMenuWindow() override;

    // Loads a sheet; with `asSheetOfMovie`, the layout marks are read and the frame list of a
    // sheet made in an earlier run is rebuilt. False (after "Cannot load DIB file") when the
    // file is no bitmap this program reads.
    bool Load(const std::string& path, bool asSheetOfMovie);
    // A click at (x, y) of the window's picture area.
    void Click(int x, int y);
    void Open();
    void Save();
    bool HasImage() const { return image_ != nullptr; }
    ThumbCanvas* Canvas() const { return canvas_; }

    // The picture's offset for the current scroll positions.
    int OffsetX() const;
    int OffsetY() const;
    const QImage& Picture() const { return picture_; }
    // The frame outlined by the last click (-1 for none).
    int Outlined() const { return outlined_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Scrolled();
    std::unique_ptr<DibImage> image_;
    QImage picture_;
    ThumbCanvas* canvas_;
    QScrollBar* horizontal_;
    QScrollBar* vertical_;
    QAction* save_;
    bool firstClick_ = true;
    int outlined_ = -1;
};

// Command 2305 after PrzygotujPlikForThumbmenu: the window on Mp1.thumbnailFile.
void StartThumbMenu();
// The open window, or null.
ThumbMenuWindow* CurrentThumbMenu();

// The save dialog of the window's "&Save..." ("" when cancelled); tests replace it.
std::function<std::string()>& ThumbSaveFileDialog();
