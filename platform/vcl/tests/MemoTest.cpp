#include "ControlTestSupport.h"
#include "vcl/StdCtrls.Edit.h"

using namespace ControlTests;

namespace {

class Memos : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Memo = Add<TMemo>(Form, Rect(10, 10, 250, 110), 0xFFFFFF);
        Memo->OnChange = [this](TObject*) { ++Changes; };
        Form->Show();
        Pump();
        Click(Point(20, 20));
    }
    void Type(StringView Text)
    {
        for (Char C : Text)
            if (C == u'\r')
                Key(VK_RETURN, U'\r');
            else
                Key(C >= u'a' && C <= u'z' ? C - 32 : C, C);
    }

    TMemo* Memo = nullptr;
    Integer Changes = 0;
};

}

TEST_F(Memos, TypingEditsTheTextWhileReadOnlyAndMaxLengthHoldIt)
{
    ASSERT_TRUE(Memo->Focused());
    Type(u"hi\rthere");
    EXPECT_EQ(Memo->Text(), u"hi\rthere");
    EXPECT_EQ(Changes, 8);
    EXPECT_TRUE(Memo->Modified());
    EXPECT_EQ(Memo->CaretPos(), Point(5, 1));
    Key(VK_BACK);
    EXPECT_EQ(Memo->Text(), u"hi\rther");

    Memo->SetSelStart(1);
    Memo->SetSelLength(1);
    EXPECT_EQ(Memo->SelText(), u"i");
    Memo->SetReadOnly(true);
    Type(u"x");
    Key(VK_DELETE);
    EXPECT_EQ(Memo->Text(), u"hi\rther");
    Memo->SetReadOnly(false);

    Memo->SetMaxLength(8);
    Memo->SetSelStart(7);
    Type(u"abc");
    EXPECT_EQ(Memo->Text(), u"hi\rthera");
    EXPECT_TRUE(Memo->CanUndo());
    Memo->Undo();
    EXPECT_EQ(Memo->Text(), u"hi\rther");
    SavePicture(Form->Handle(), "memo-typed.png");
}

TEST_F(Memos, AChangeHandlerMayFreeTheMemo)
{
    Memo->OnChange = [this](TObject*) { FreeAndNil(Memo); };
    Type(u"x");
    EXPECT_EQ(Memo, nullptr);
}
