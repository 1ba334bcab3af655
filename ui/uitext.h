#pragma once
// The texts of the windows as the language file in force gives them (English without one).
#include "persist/i18l.h"

#include <QString>

inline QString UiText(const char* section, const char* key) {
    return QString::fromStdString(I18l.text(section, key));
}
