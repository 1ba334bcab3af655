#include "ui/uistate.h"

int stan = 0;
int stan_top = 1;
int osd_wylaczone_czasowo = 1;
int iSelection = 1500;
int coursorvisable = 1;
int stan_oncompact = 1;
int stan_rozszerzony = 0;
std::string asNazwaPliku;

void ResetUiState() {
    stan = 0;
    stan_top = 1;
    osd_wylaczone_czasowo = 1;
    iSelection = 1500;
    coursorvisable = 1;
    stan_oncompact = 1;
    stan_rozszerzony = 0;
    asNazwaPliku.clear();
}
