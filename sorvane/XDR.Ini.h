// The recovery program's settings, kept in the registry.
#pragma once
#include "core/XIni.h"

class TXDRFileTypes;

class TXCustomDRIni : public TXAIni {
    X_CLASS(TXCustomDRIni, TXAIni)
public:
    using inherited::Create;
    void Create(TComponent* AOwner) override;
    ~TXCustomDRIni() override;
    // Thumbnails on, sort and column 0, every file type.
    void SetDefaults() override;

    bool ShowThumbnails() const { return FShowThumbnails; }
    void SetShowThumbnails(bool Value) { FShowThumbnails = Value; }
    Integer Sort() const { return FSort; }
    void SetSort(Integer Value) { FSort = Value; }
    Integer SortColumn() const { return FSortColumn; }
    void SetSortColumn(Integer Value) { FSortColumn = Value; }
    TXDRFileTypes* FileTypes() const { return FFileTypes.get(); }
    void SetFileTypes(TXDRFileTypes* Value);

private:
    bool FShowThumbnails = true;
    Integer FSort = 0;
    Integer FSortColumn = 0;
    TOwnedPtr<TXDRFileTypes> FFileTypes;
};

class TXKXRIni : public TXCustomDRIni {
    X_CLASS(TXKXRIni, TXCustomDRIni)
public:
    // The photo, raw, video and audio types most cards hold.
    void SetDefaults() override;
};
