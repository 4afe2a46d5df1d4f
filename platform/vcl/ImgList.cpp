#include "vcl/ImgList.h"

X_REGISTER_CLASS(TCustomImageList)
X_REGISTER_CLASS(TImageList)
