#include "win/Presenter.h"

TPresenter* MakeDisplayPresenter()
{
    return nullptr;
}
