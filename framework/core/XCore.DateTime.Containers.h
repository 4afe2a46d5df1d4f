// Lists of whole day numbers (date serials without their time).
#pragma once
#include "core/XCore.Collections.h"

class TXDatesList : public TXList<Integer> {
    X_CLASS(TXDatesList, TXList<Integer>)
public:
    using inherited::Create;

    // Sorts ascending and keeps only the days From..To inclusive.
    void KeepRange(Integer From, Integer To);
};
