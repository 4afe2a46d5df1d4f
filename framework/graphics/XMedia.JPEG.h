// The framework's JPEG picture: the platform JPEG picture under the name
// stored pictures use for decoding.
#pragma once
#include "gdi/JpegImage.h"

class TXJPEGImage : public TJPEGImage {
    X_CLASS(TXJPEGImage, TJPEGImage)
};
