#include "ui/CustomControl.h"

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

TCanvas* TCustomControl::Canvas() {
    if (painting_)
        return painting_;
    measure_.SetFont(*Font());
    return &measure_;
}

void TCustomControl::Paint(TCanvas& canvas) {
    TCanvas* saved = painting_;
    painting_ = &canvas;
    try {
        Paint();
    } catch (...) {
        painting_ = saved;
        throw;
    }
    painting_ = saved;
}
