#include "core/XCore.Errors.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

using Testing::U8;

namespace {


TEST(XErrorData, TextCodeSetsAndCopies)
{
    TXErrorData E = TXErrorData::Create(xecReadFailed, 21, {});
    EXPECT_EQ(U8(E.ToText()), "44 21 ");
    EXPECT_EQ(U8(TXErrorData::Create(xecOpenFailed, -1, u"x").ToText()), "4 4294967295 x");
    EXPECT_EQ(TXErrorData::Init(xecSeekFailed).Code, xecSeekFailed);

    ClearXError();
    TXErrorData Sets;
    Sets.RaiseSet = XErrorCodeBit(xecDeviceGone);
    SetXErrorCodeSets(Sets);
    SetXError(xecDeviceReadEnd, 0, u"kept", false);
    CheckXError(); // not in the raise set
    SetXError(xecDeviceGone, 2, {}, false);
    EXPECT_THROW(CheckXError(), EXError);
    TXErrorData Copy = GetXErrorData();
    EXPECT_EQ(Copy.Code, xecDeviceGone);
    EXPECT_EQ(Copy.SubCode, 2);
    EXPECT_TRUE(Copy.SeenSet & XErrorCodeBit(xecDeviceReadEnd));
    SetXErrorCodeSets(TXErrorData {});
    ClearXError();
}

}
