#include "calendar_designs/XDesign.Stored.h"
#include "core/XCore.Errors.h"

X_REGISTER_CLASS(TXStoredPageObject)
X_REGISTER_CLASS(TXStoredPage)

X_PUBLISHED(TXStoredPageObject)
{
    X_PROP_READONLY(Items, Items);
}

X_PUBLISHED(TXStoredPage)
{
    X_PROP_READONLY(Page, Page);
}

// ---- TXStoredPageObject ----

void TXStoredPageObject::Init()
{
    inherited::Init();
    FItems.reset(New<TXObjectCollection>(static_cast<TPersistent*>(this)));
}

bool TXStoredPageObject::AssignFrom(TPersistent* Source)
{
    if (!inherited::AssignFrom(Source))
        return false;
    if (auto* Other = DynamicCast<TXStoredPageObject>(Source))
        FItems->Assign(Other->FItems.get());
    return true;
}

void TXStoredPageObject::AssignTo(TPersistent* Dest)
{
    auto* Target = DynamicCast<TXPageObject>(Dest);
    if (!Target)
        return inherited::AssignTo(Dest);
    Target->Assign(this);
    for (Integer I = 0; I < FItems->Count(); ++I) {
        TOwnedPtr<TPersistent> Obj(static_cast<TXObjectItem*>(FItems->Items(I))->ReleaseObj());
        if (auto* Item = DynamicCast<TXDesignItem>(Obj.get())) {
            Obj.release();
            Item->AttachToPage(Target);
        }
    }
    FItems->Clear();
}

// ---- TXStoredPage ----

void TXStoredPage::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FPage.reset(New<TXStoredPageObject>());
}

bool TXStoredPage::LoadInto(StringView Text, TXPageObject* Target, bool Raise)
{
    bool Foreign = false;
    const bool Loaded = XGuarded(xecReadFailed, Raise, [&] {
        FPage->SetDefaults();
        FPage->Items()->Clear();
        LoadComponentFromText(Text, this);
        // An entry whose class the reader could not make is lost content.
        for (Integer I = 0; I < FPage->Items()->Count(); ++I)
            Foreign = Foreign || !static_cast<TXObjectItem*>(FPage->Items()->Items(I))->Obj();
        FPage->Items()->ExtractObjects(FPage->AllItems());
        // Only design items may become items of a page.
        TObjectList* All = FPage->AllItems();
        for (Integer I = All->Count() - 1; I >= 0; --I)
            if (!DynamicCast<TXDesignItem>(All->Items(I))) {
                All->Delete(I);
                Foreign = true;
            }
        Target->Assign(FPage.get());
    });
    if (Loaded && Foreign) {
        SetXError(xecReadFailed, 0, u"An item of the stored page is not a design item", Raise);
        return false;
    }
    return Loaded;
}

String TXStoredPage::SaveFrom(TXPageObject* Source)
{
    FPage->Assign(Source);
    TXObjectCollection* Items = FPage->Items();
    Items->Clear();
    TXDesignList* All = FPage->AllItems();
    for (Integer I = 0; I < All->Count(); ++I)
        static_cast<TXObjectItem*>(Items->Add())->SetObj(All->Items(I));
    String Text = ComponentToText(this);
    Items->Clear();
    return Text;
}
