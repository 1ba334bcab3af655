#include "persist/optins.h"

Optins Optins1;

namespace {
std::string Limited(std::string text) {
    if (text.size() > kOptinsTextLimit)
        text.resize(kOptinsTextLimit);
    return text;
}
} // namespace

void Optins::fillDialog(OptinsDialogView& dialog) const {
    dialog.SetChecked(IDC_OPT_REMEMBER_POSITIONS, rememberPositions);
    dialog.SetChecked(IDC_OPT_UPLOAD_AUTO, uploadAuto);
    dialog.SetChecked(IDC_OPT_UPLOAD_AUTOLOADED, uploadAutoloaded);
    dialog.SetEnabled(IDC_OPT_UPLOAD_AUTOLOADED, uploadAuto);
    dialog.SetText(IDC_OPT_LOGIN, login);
    dialog.SetText(IDC_OPT_PASSWORD, password);
}

void OptinsUploadAutoClicked(OptinsDialogView& dialog) {
    dialog.SetEnabled(IDC_OPT_UPLOAD_AUTOLOADED, dialog.IsChecked(IDC_OPT_UPLOAD_AUTO));
}

int OptinsAccept(const OptinsDialogView& dialog, Optins& options) {
    options.uploadAuto = dialog.IsChecked(IDC_OPT_UPLOAD_AUTO);
    // A ticked but disabled box must not switch on uploads the user turned off.
    options.uploadAutoloaded = options.uploadAuto && dialog.IsChecked(IDC_OPT_UPLOAD_AUTOLOADED);
    options.rememberPositions = dialog.IsChecked(IDC_OPT_REMEMBER_POSITIONS);
    options.login = Limited(dialog.Text(IDC_OPT_LOGIN));
    options.password = Limited(dialog.Text(IDC_OPT_PASSWORD));
    return IDC_OPT_OK;
}

int OptinsEndCode(int command) {
    switch (command) {
    case IDC_OPT_OK:
        return IDC_OPT_OK;
    case IDC_OPT_CLOSE:
    case IDC_OPT_CANCEL:
        return IDC_OPT_CLOSE;
    default:
        return 0;
    }
}
