#include "graphics/XMedia.JPEG.h"

X_REGISTER_CLASS(TXJPEGImage)
