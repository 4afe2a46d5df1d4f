// Stored pages: the text form of a design page as the layouts and print
// templates keep it ("object TXStoredPage", the page's keys under "Page.",
// one block per item in Page.Items), loaded into and saved from a page.
//
//     TOwnedPtr<TXStoredPage> Stored(New<TXStoredPage>(static_cast<TComponent*>(nullptr)));
//     if (!Stored->LoadInto(Text, Preview->Page(), false))
//         ... GetXErrorCode() is 44 ...
#pragma once
#include "calendar_designs/XDesign.Page.h"
#include "core/XCore.ComponentText.h"

class TXStoredPageObject : public TXPageObject {
    X_CLASS(TXStoredPageObject, TXPageObject)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;
    // Into a plain page: the page is copied, then the objects of Items move
    // into it and are attached.
    void AssignTo(TPersistent* Dest) override;

    TXObjectCollection* Items() const { return FItems.get(); }

private:
    TOwnedPtr<TXObjectCollection> FItems;
};

class TXStoredPage : public TComponent {
    X_CLASS(TXStoredPage, TComponent)
public:
    void Create(TComponent* AOwner) override;

    TXStoredPageObject* Page() const { return FPage.get(); }

    // Clears the stored page, reads Text into it and copies it into
    // Target. Objects of other classes than design items are dropped; any
    // failure leaves 44 and answers false (Target keeps what it had).
    bool LoadInto(StringView Text, TXPageObject* Target, bool Raise);
    // The text form of Source.
    String SaveFrom(TXPageObject* Source);

private:
    TOwnedPtr<TXStoredPageObject> FPage;
};
