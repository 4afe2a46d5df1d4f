#include "rtl/SyncObjs.h"

X_REGISTER_CLASS(TMutex)
