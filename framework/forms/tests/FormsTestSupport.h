// Skinned forms for the tests: a skin "FormsTest" holding form skin data
// "Form" with borders, on the headless presenter and a manual clock.
#pragma once
#include "forms/XCaptionFr.h"
#include "forms/XForms.h"
#include "core/XSpark.Lg.English.h"
#include "core/XSpark.Lg.h"
#include "core/XEngine.Gears.h"
#include "vcl/tests/ControlTestSupport.h"

namespace FormsTests {

// A dialog component: records the integer commands it gets.
class TProbeDialog : public XEngine::TXGear {
    X_CLASS_TEMPLATE(TProbeDialog, XEngine::TXGear, u"TProbeDialog")
public:
    void DoIntCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
        const String& Args) override
    {
        Commands.push_back({ Command, Args });
    }
    std::vector<std::pair<Integer, String>> Commands;
};


class TSkinnedFixture : public ControlTests::TFormFixture {
protected:
    void SetUp() override
    {
        ControlTests::TFormFixture::SetUp();
        Presenter.SetMonitors({ { { 0, 0, 1024, 768 }, { 0, 0, 1024, 740 }, 96, 96, true } });
        Holder = New<TComponent>(nullptr);
        Skin = New<XSkin::TXSkin>(Holder);
        Data = New<TXFormSkinData>(Holder);
        Data->SetName(u"Form");
        Data->Border()->SetLeft(4);
        Data->Border()->SetTop(30);
        Data->Border()->SetRight(5);
        Data->Border()->SetBottom(6);
        Data->Color()->SetcolOff(0x00806040);
        Data->Color()->SetcolOn(0x00C08040);
        Data->CaptionColor()->SetcolOff(0x00C0C0C0);
        Data->CaptionColor()->SetcolOn(0x00FFFFFF);
        Skin->AddSkinData(Data);
        XSkin::TXSkin::RegisterAs(Skin, u"FormsTest");
        LoadEnglishWords();
    }
    // The built-in English texts as the current words.
    static void LoadEnglishWords()
    {
        std::vector<std::pair<Cardinal, String>> Words;
        for (const TXEnglishWord& W : EnglishWords())
            Words.push_back({ W.Id, UTF8ToString(W.Text) });
        const UTF8String Text = MakeWordTableText(Words);
        TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
        Stream->WriteBuffer(Text.data(), Int64(Text.size()));
        Stream->SetPosition(0);
        LoadWords(Lg()->Words(), Stream.get());
    }
    void TearDown() override
    {
        for (TXForm* F : Made)
            if (F)
                F->Free();
        Made.clear();
        FreeAndNil(Holder);
        ControlTests::TFormFixture::TearDown();
    }
    // A sizeable form with a client area of 300 x 200 at (100, 100).
    TXForm* NewForm()
    {
        auto* F = New<TXForm>(nullptr);
        F->SetBounds(100, 100, 300, 200);
        F->HandleNeeded();
        F->SetClientSize(300, 200);
        Made.push_back(F);
        return F;
    }
    void Skinned(TXForm* F) { F->Style()->SetSkinStyle(u"FormsTest"); }

    TComponent* Holder = nullptr;
    XSkin::TXSkin* Skin = nullptr;
    TXFormSkinData* Data = nullptr;
    std::vector<TXForm*> Made;
};

}
