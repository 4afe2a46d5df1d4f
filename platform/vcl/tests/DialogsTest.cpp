#include "vcl/Dialogs.h"
#include <gtest/gtest.h>

TEST(FindDialog, HoldsItsSearchAndRunsItsEventsSafely)
{
    auto* Dialog = New<TFindDialog>(nullptr);
    EXPECT_TRUE(Dialog->Options().Contains(frDown));
    EXPECT_FALSE(Dialog->Execute());
    Dialog->SetFindText(u"needle");
    Dialog->SetOptions({ frMatchCase, frWholeWord });
    EXPECT_EQ(Dialog->FindText(), u"needle");
    EXPECT_FALSE(Dialog->Options().Contains(frDown));
    EXPECT_TRUE(Dialog->Options().Contains(frWholeWord));

    int Found = 0;
    Dialog->OnFind = [&](TObject* Sender) {
        EXPECT_EQ(Sender, Dialog);
        ++Found;
    };
    Dialog->Find();
    EXPECT_EQ(Found, 1);
    // A close handler that frees the dialog: nothing freed is touched.
    bool Closed = false;
    Dialog->OnClose = [&](TObject* Sender) {
        Closed = true;
        static_cast<TFindDialog*>(Sender)->Free();
    };
    Dialog->CloseDialog();
    EXPECT_TRUE(Closed);
}
