#pragma once
// The OpenSubtitles account and upload choices, and the logic of the options dialog that
// edits them. The dialog itself belongs to the GUI; it hands its controls to these functions
// through OptinsDialogView, so what is ticked, enabled and stored is decided here.
#include <string>

// Control ids of the options dialog.
enum OptinsControl : int {
    IDC_OPT_OK = 3,
    IDC_OPT_CLOSE = 2,
    IDC_OPT_CANCEL = 4,
    IDC_OPT_LOGIN = 1003,
    IDC_OPT_UPLOAD_AUTO = 1004,
    IDC_OPT_UPLOAD_AUTOLOADED = 1006,
    IDC_OPT_REMEMBER_POSITIONS = 1007,
    IDC_OPT_PASSWORD = 1011,
};

// Longest login or password the dialog stores.
constexpr size_t kOptinsTextLimit = 489;

// The controls of the options dialog as its logic sees them.
class OptinsDialogView {
  public:
    virtual ~OptinsDialogView() = default;
    virtual void SetChecked(int control, bool checked) = 0;
    virtual bool IsChecked(int control) const = 0;
    virtual void SetEnabled(int control, bool enabled) = 0;
    virtual void SetText(int control, const std::string& text) = 0;
    virtual std::string Text(int control) const = 0;
};

class Optins {
  public:
    bool uploadAuto = false;
    bool uploadAutoloaded = true;
    bool rememberPositions = false;
    std::string login;
    std::string password;

    // Shows these values in the dialog: the three boxes ticked as the flags say, "also upload
    // automatic loaded subtitles" enabled only while automatic upload is on.
    void fillDialog(OptinsDialogView& dialog) const;
};

extern Optins Optins1;

// A click on the automatic-upload box: the autoloaded box is usable exactly when it is ticked.
void OptinsUploadAutoClicked(OptinsDialogView& dialog);

// OK: stores the dialog's state in `options` (nothing is written to the settings file here;
// the values reach it on exit). Returns the dialog's end code, IDC_OPT_OK.
int OptinsAccept(const OptinsDialogView& dialog, Optins& options);

// The end code for a command of the dialog, or 0 when the dialog stays open. Escape, the close
// box and Cancel all leave without changes.
int OptinsEndCode(int command);
