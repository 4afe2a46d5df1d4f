// Locks as objects, for lists of them and owners that hold them.
#pragma once
#include "rtl/Object.h"
#include <mutex>

// An unnamed mutex of this process; re-entrant.
class TMutex : public TObject {
    X_CLASS(TMutex, TObject)
public:
    void Acquire() { FLock.lock(); }
    void Release() { FLock.unlock(); }

private:
    std::recursive_mutex FLock;
};
