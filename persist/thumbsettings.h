#pragma once
// Parameters of the configurable thumbnail series: the sheet's width in pixels, the pictures
// side by side in one line of the sheet (the dialog's "Rows"), the lines of pictures (its
// "Columns"), and whether the sheet is sent to the image host. Read from the settings at
// start-up and written back on exit.
class class_dialog_thumb {
  public:
    int width = 1600;
    int across = 8;
    int down = 8;
    int sendToWeb = 0;
};

extern class_dialog_thumb DialogThumb;
