#include "calendar_designs/XDesign.Page.h"
#include "calendar_designs/XDesign.Borders.h"
#include "calendar_designs/XDesign.Pictures.h"
#include "core/XCore.Types.h"

X_REGISTER_CLASS(TXPageObject)

X_PUBLISHED(TXPageObject)
{
    X_PROP(Units, Units, SetUnits).Default(muPixels);
    auto Int = [&](const char16_t* Name, Integer Index) {
        return D.Prop(
            Name, [Index](TXPageObject* P) { return P->GetIntProp(Index); },
            [Index](TXPageObject* P, Integer V) { P->SetIntProp(Index, V); });
    };
    Int(u"DPI", 0).Default(0);
    Int(u"PrintDPI", 1).Default(0);
    Int(u"Width", 2).Default(0);
    Int(u"Height", 3).Default(0);
    Int(u"LeftMargin", 4).Default(0);
    Int(u"TopMargin", 5).Default(0);
    Int(u"RightMargin", 6).Default(0);
    Int(u"BottomMargin", 7).Default(0);
    X_PROP(BgColor, BgColor, SetBgColor).Type(ColorTypeInfo()).Default(0xFFFFFF);
    X_PROP_READONLY(Thn, Thn);
}

const TXFilterKernel* DesignResampleKernel()
{
    static TXLanczosKernel* Kernel = [] {
        TXLanczosKernel* K = New<TXLanczosKernel>();
        K->SetRadius(2.0f);
        return K;
    }();
    return Kernel;
}

void TXPageObject::Init()
{
    inherited::Init();
    FDefaultList = MakeOwned<TXDDefaultList>(true);
    auto* DateDefault = New<TXDDefaultDate>();
    DateDefault->SetName(u"Date");
    FDefaultList->Add(DateDefault);
    auto* FormatDefault = New<TXDDefaultFormat>();
    FormatDefault->SetName(u"Format");
    FDefaultList->Add(FormatDefault);
    FAllItems = MakeOwned<TXDesignList>(true);
    FXChain = MakeOwned<TXDesignList>(false);
    FYChain = MakeOwned<TXDesignList>(false);
    FRemaining = MakeOwned<TXDesignList>(false);
    FXChain->OnListChanged = [this](TXDesignList* L) { SortChain(L, true); };
    FYChain->OnListChanged = [this](TXDesignList* L) { SortChain(L, false); };
    FThn.reset(New<TXImageObject>());
}

void TXPageObject::Create()
{
    // After the defaults, which clear the items.
    inherited::Create();
    auto* Bg = New<TXDBgItem>();
    FAllItems->Add(Bg);
    Bg->AttachToPageOnly(this);
}

void TXPageObject::BeforeDestruction()
{
    if (FXChain) {
        FXChain->OnListChanged = nullptr;
        FYChain->OnListChanged = nullptr;
    }
    Clear();
    inherited::BeforeDestruction();
}

void TXPageObject::Clear()
{
    inherited::Clear();
    if (!FAllItems)
        return;
    for (TXDesignList* L : { FXChain.get(), FYChain.get(), FRemaining.get() }) {
        auto Saved = std::move(L->OnListChanged);
        L->Clear();
        L->OnListChanged = std::move(Saved);
    }
    for (Integer I = 0; I < FAllItems->Count(); ++I) {
        TXDesignItem* Item = FAllItems->Items(I);
        Item->InXChain = Item->InYChain = Item->InRemaining = false;
    }
    // Groups first, so that no member is left pointing at a freed group.
    for (Integer I = FAllItems->Count() - 1; I >= 0; --I)
        if (FAllItems->Items(I)->InheritsFrom(TXDGroupItem::StaticClass()))
            FAllItems->Delete(I);
    FAllItems->Clear();
    FMargins.fill(0);
    FXIndexValid = FYIndexValid = false;
}

void TXPageObject::SetIntProp(Integer Index, Integer Value)
{
    if (Index == 0 || Index == 1) {
        Integer& Field = Index == 0 ? FDPI : FPrintDPI;
        if (Field == Value)
            return;
        Field = Value;
        LayoutNeeded = true;
        MarkItemsDirty();
        return;
    }
    if (Index < 2 || Index > 7 || GetIntProp(Index) == Value)
        return;
    std::array<Integer, 6> V = { FWidth, FHeight, FMargins[0], FMargins[1], FMargins[2], FMargins[3] };
    V[size_t(Index - 2)] = Value;
    SetPageSize(V[0], V[1], V[2], V[3], V[4], V[5]);
}

Integer TXPageObject::GetIntProp(Integer Index) const
{
    switch (Index) {
    case 0:
        return FDPI;
    case 1:
        return FPrintDPI;
    case 2:
        return FWidth;
    case 3:
        return FHeight;
    case 4:
    case 5:
    case 6:
    case 7:
        return FMargins[size_t(Index - 4)];
    default:
        return 0;
    }
}

void TXPageObject::MarkItemsDirty()
{
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        FAllItems->Items(I)->MarkDirty();
}

void TXPageObject::RaiseSizeChanged()
{
    if (OnSizeChanged) {
        const TNotifyEvent Call = OnSizeChanged;
        Call(this);
    }
}

TXDBgItem* TXPageObject::GetBgItem()
{
    if (FAllItems->Count() > 0)
        if (auto* Bg = DynamicCast<TXDBgItem>(FAllItems->Items(0)))
            return Bg;
    auto* Bg = New<TXDBgItem>();
    FAllItems->Insert(0, Bg);
    Bg->AttachToPageOnly(this);
    Bg->SetColorProp(100, 0xFFFFFF);
    return Bg;
}

void TXPageObject::SetPageSize(
    Integer AWidth, Integer AHeight, Integer ALeft, Integer ATop, Integer ARight, Integer ABottom)
{
    FWidth = AWidth;
    FHeight = AHeight;
    FMargins = { ALeft, ATop, ARight, ABottom };
    TXDBgItem* Bg = GetBgItem();
    Bg->SetIntProp(dipWidth, AWidth);
    Bg->SetIntProp(dipHeight, AHeight);
    LayoutNeeded = true;
    MarkItemsDirty();
    RaiseSizeChanged();
}

void TXPageObject::RescaleTo(
    Integer AWidth, Integer AHeight, Integer ALeft, Integer ATop, Integer ARight, Integer ABottom)
{
    double X = 1, Y = 1;
    if (FWidth != 0 && FHeight != 0) {
        X = double(AWidth) / FWidth;
        Y = double(AHeight) / FHeight;
    }
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        FAllItems->Items(I)->Rescale(X, Y);
    SetPageSize(AWidth, AHeight, ALeft, ATop, ARight, ABottom);
}

void TXPageObject::ApplyDefaults(TObjectList* Defaults)
{
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        FAllItems->Items(I)->ApplyDefaultsFrom(Defaults);
}

void TXPageObject::ApplyDefault(TXDDefaultItem* Default)
{
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        FAllItems->Items(I)->ApplyDefault(Default);
}

void TXPageObject::ApplyPageDefaults()
{
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        FAllItems->Items(I)->ApplyDataDefaults();
    FDefaultList->Changed = false;
}

void TXPageObject::LayoutPage(Integer ADPI, Integer ImageDPI)
{
    if (FDefaultList->Changed)
        ApplyPageDefaults();
    const Word D = Word(std::clamp(ADPI, 0, 65535));
    PixPageWidth = HiMetricToPixels(D, FWidth);
    PixPageHeight = HiMetricToPixels(D, FHeight);
    PixLeftMargin = HiMetricToPixels(D, FMargins[0]);
    PixTopMargin = HiMetricToPixels(D, FMargins[1]);
    PixRightMargin = HiMetricToPixels(D, FMargins[2]);
    PixBottomMargin = HiMetricToPixels(D, FMargins[3]);
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        FAllItems->Items(I)->Scale(ADPI, ImageDPI);
    if (LayoutNeeded)
        for (TXDesignList* L : { FXChain.get(), FYChain.get(), FRemaining.get() })
            for (Integer I = 0; I < L->Count(); ++I) {
                TXDesignItem* Item = L->Items(I);
                Item->Scale(ADPI, ImageDPI);
                Item->ResolveAnchors();
            }
    LayoutNeeded = false;
}

bool TXPageObject::RenderPage(TBitmap* Bitmap, bool ForceLayout)
{
    const Word D = Word(std::clamp(FDPI, 0, 65535));
    const Integer W = HiMetricToPixels(D, FWidth), H = HiMetricToPixels(D, FHeight);
    if (!DesignBitmapFits(W, H))
        return false;
    Bitmap->SetPixelFormat(pf32bit);
    Bitmap->SetSize(W, H);
    Bitmap->Fill(FBgColor);
    if (ForceLayout) {
        LayoutNeeded = true;
        LayoutPage(FDPI, FDPI);
    }
    const TRect R = Rect(0, 0, W, H);
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        FAllItems->Items(I)->Paint(Bitmap, R, dpfRender);
    return true;
}

bool TXPageObject::RenderToBitmap(TBitmap* Bitmap, Integer ADPI, Integer ImageDPI)
{
    const Word D = Word(std::clamp(ADPI, 0, 65535));
    const Integer W = HiMetricToPixels(D, FWidth), H = HiMetricToPixels(D, FHeight);
    if (!DesignBitmapFits(W, H))
        return false;
    Bitmap->SetPixelFormat(pf24bit);
    Bitmap->SetSize(W, H);
    struct TRestore {
        TXPageObject* Page;
        ~TRestore()
        {
            Page->CacheLayers = true;
            Page->LayoutNeeded = true;
        }
    } Restore { this };
    CacheLayers = false;
    LayoutNeeded = true;
    LayoutPage(ADPI, ImageDPI);
    MarkItemsDirty();
    const TRect R = Rect(0, 0, W, H);
    GetBgItem()->Paint(Bitmap, R, dpf24Bit);
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        FAllItems->Items(I)->Paint(Bitmap, R, dpf24Bit);
    return true;
}

TXDesignItem* TXPageObject::FindItem(const String& Name) const
{
    const Integer I = FAllItems->IndexOfName(Name);
    return I >= 0 ? FAllItems->Items(I) : nullptr;
}

// ---- anchor lists ----

void TXPageObject::RemoveFrom(TXDesignList* List, bool& Member, TXDesignItem* Item)
{
    if (!Member)
        return;
    Member = false;
    // Items leave mostly from the ends (chains insert at the front, the
    // remaining list appends), so a long page is not searched each time.
    const Integer N = List->Count();
    if (N > 0 && List->Items(N - 1) == Item)
        List->Delete(N - 1);
    else if (N > 0 && List->Items(0) == Item)
        List->Delete(0);
    else
        List->Extract(Item);
}

void TXPageObject::InsertAtChainFront(TXDesignList* Chain, bool& Member, TXDesignItem* Item)
{
    RemoveFrom(Chain, Member, Item);
    Member = true;
    Chain->Insert(0, Item);
}

void TXPageObject::PlaceOnXAxis(TXDesignItem* Item)
{
    if (Item->AXIdx() <= 0) {
        RemoveFrom(FXChain.get(), Item->InXChain, Item);
        if (!Item->InRemaining) {
            Item->InRemaining = true;
            FRemaining->Add(Item);
        }
    } else {
        RemoveFrom(FRemaining.get(), Item->InRemaining, Item);
        InsertAtChainFront(FXChain.get(), Item->InXChain, Item);
    }
}

void TXPageObject::PlaceOnYAxis(TXDesignItem* Item)
{
    if (Item->AYIdx() <= 0) {
        RemoveFrom(FYChain.get(), Item->InYChain, Item);
        if (!Item->InRemaining) {
            Item->InRemaining = true;
            FRemaining->Add(Item);
        }
    } else {
        RemoveFrom(FRemaining.get(), Item->InRemaining, Item);
        InsertAtChainFront(FYChain.get(), Item->InYChain, Item);
    }
}

void TXPageObject::RemoveFromAnchorLists(TXDesignItem* Item)
{
    RemoveFrom(FXChain.get(), Item->InXChain, Item);
    RemoveFrom(FYChain.get(), Item->InYChain, Item);
    RemoveFrom(FRemaining.get(), Item->InRemaining, Item);
}

void TXPageObject::SortChain(TXDesignList* Chain, bool Horizontal)
{
    (Horizontal ? FXIndexValid : FYIndexValid) = false;
    if (Chain->Count() == 0)
        return;
    TXDesignItem* First = Chain->Items(0);
    const Integer A = First->GetIntProp(Horizontal ? dipAlLTo : dipAlTTo);
    const Integer B = First->GetIntProp(Horizontal ? dipAlRTo : dipAlBTo);
    if (A < 1 && B < 1)
        return;
    auto IdAt = [&](Integer I) { return Horizontal ? Chain->Items(I)->AXIdx() : Chain->Items(I)->AYIdx(); };
    Integer IA = -1, IB = -1;
    if (A < 1 || B < 1) {
        // One target only: the forward scan would run to the end and keep
        // its last match, which a scan from the end finds first.
        const Integer T = A < 1 ? B : A;
        for (Integer I = Chain->Count() - 1; I >= 1 && IA < 0; --I)
            if (IdAt(I) == T)
                IA = I;
    } else
        for (Integer I = 1; I < Chain->Count() && (IA < 0 || IB < 0); ++I) {
            const Integer Id = IdAt(I);
            if (Id == A)
                IA = I;
            if (Id == B)
                IB = I;
        }
    if (IA >= 0 || IB >= 0)
        Chain->Move(0, std::max(IA, IB));
}

TXDesignItem* TXPageObject::ChainItem(bool Horizontal, Integer Id)
{
    auto& Index = Horizontal ? FXIndex : FYIndex;
    bool& Valid = Horizontal ? FXIndexValid : FYIndexValid;
    if (!Valid) {
        Index.clear();
        TXDesignList* Chain = Horizontal ? FXChain.get() : FYChain.get();
        for (Integer I = 0; I < Chain->Count(); ++I) {
            TXDesignItem* Item = Chain->Items(I);
            Index.try_emplace(Horizontal ? Item->AXIdx() : Item->AYIdx(), Item);
        }
        Valid = true;
    }
    auto It = Index.find(Id);
    return It == Index.end() ? nullptr : It->second;
}

Integer TXPageObject::EdgeReference(TXAnchorEdge Edge, Integer Target, bool FullPage)
{
    if (Target < 0)
        return 0;
    const bool Horizontal = Edge == aeLeft || Edge == aeRight;
    const Integer Follow = Edge == aeLeft ? dipAlLTo : Edge == aeRight ? dipAlRTo : Edge == aeTop ? dipAlTTo : dipAlBTo;
    // A walk through invisible targets meets each id once at most; longer
    // is a cycle. A cycle or a target nobody carries falls back to the page.
    ChainItem(Horizontal, 0);
    Integer Steps = Integer((Horizontal ? FXIndex : FYIndex).size());
    while (Target > 0 && Steps-- >= 0) {
        TXDesignItem* Item = ChainItem(Horizontal, Target);
        if (!Item)
            break;
        if (Item->Visible())
            switch (Edge) {
            case aeLeft:
                return SaturateToInteger(Int64(Item->PixLeft) + Item->PixWidth);
            case aeRight:
                return Item->PixLeft;
            case aeTop:
                return SaturateToInteger(Int64(Item->PixTop) + Item->PixHeight);
            case aeBottom:
                return Item->PixTop;
            }
        const Integer Next = Item->GetIntProp(Follow);
        Target = Next >= 0 ? Next : 0;
    }
    switch (Edge) {
    case aeLeft:
        return FullPage ? 0 : PixLeftMargin;
    case aeTop:
        return FullPage ? 0 : PixTopMargin;
    case aeRight:
        return FullPage ? PixPageWidth : SaturateToInteger(Int64(PixPageWidth) - PixRightMargin);
    case aeBottom:
        return FullPage ? PixPageHeight : SaturateToInteger(Int64(PixPageHeight) - PixBottomMargin);
    }
    return 0;
}

TXDGroupItem* TXPageObject::FindGroup(Integer GID) const
{
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        if (auto* G = DynamicCast<TXDGroupItem>(FAllItems->Items(I)); G && G->GID() == GID)
            return G;
    return nullptr;
}

bool TXPageObject::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXPageObject>(Source);
    if (!Other)
        return false;
    inherited::AssignFrom(Source);
    FUnits = Other->FUnits;
    FDPI = Other->FDPI;
    FPrintDPI = Other->FPrintDPI;
    FWidth = Other->FWidth;
    FHeight = Other->FHeight;
    FMargins = Other->FMargins;
    CacheLayers = Other->CacheLayers;
    OnSizeChanged = Other->OnSizeChanged;
    FBgColor = Other->FBgColor;
    FThn->Assign(Other->FThn.get());
    CalendarUnderlay = Other->CalendarUnderlay;
    Clear();
    FMargins = Other->FMargins;
    for (Integer I = 0; I < Other->FAllItems->Count(); ++I) {
        TXDesignItem* From = Other->FAllItems->Items(I);
        TOwnedPtr<TXDesignItem> Copy(static_cast<TXDesignItem*>(Construct(From->ClassType()->NewInstance())));
        Copy->Assign(From);
        Copy.release()->AttachToPage(this);
    }
    for (Integer I = 0; I < FAllItems->Count(); ++I)
        if (auto* G = DynamicCast<TXDGroupItem>(FAllItems->Items(I)))
            G->RebuildMembers();
    LayoutNeeded = true;
    MarkItemsDirty();
    RaiseSizeChanged();
    return true;
}
