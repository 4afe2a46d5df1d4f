// Stored pictures: the encoded bytes and the name of the graphic class
// that decodes them, never a decoded bitmap; the collection items and
// collections that hold pictures, thumbnails, picture groups and design
// templates; the components that carry them in forms.
//
//     TOwnedPtr<TXImageObject> Thumb(New<TXImageObject>());
//     Thumb->LoadFromObject(Bitmap);         // "TBitmap", its BMP bytes
//     TOwnedPtr<TGraphic> G(Thumb->ToGraphic());
#pragma once
#include "gdi/Graphic.h"
// By path: the recovery library has a header of the same name.
#include "core/XCore.Collections.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Streams.Containers.h"
#include "core/XCore.Strings.Containers.h"
#include "graphics/XMedia.Types.h"

class TXImageObject : public TXCustomSizeStreamObject {
    X_CLASS(TXImageObject, TXCustomSizeStreamObject)
public:
    // A TXImageObject is copied; an image item gives its picture; a graphic
    // stores its own encoding ("TJPEGImage" for every JPEG class) and its
    // size. Anything else, or a failure, leaves the object empty and
    // answers false.
    bool LoadFromObject(TObject* Source) override;
    // The bytes are kept only when they decode as ADataClass (a registered
    // picture class); the size becomes the picture's. Otherwise the object
    // is left empty, 44 is recorded and the answer is false.
    bool LoadFromStream(const String& ADataClass, TStream* Source) override;
    // The picture class comes from the extension; DataClass becomes its
    // name and the size the picture's. A failure empties the object.
    bool LoadFromFile(const String& AFileName, bool Flag) override;
    // A new graphic of DataClass decoded from the bytes; null when empty.
    // Raises when the class is unknown or the bytes do not decode.
    TGraphic* ToGraphic() const;

    bool IsTransparent() const { return DataClass() == u"TIcon" || DataClass() == u"TPngImage"; }
    bool IsIcon() const { return DataClass() == u"TIcon"; }
    TXSize ImageSize() const { return { Width(), Height() }; }
};

// A collection item holding one stored picture (Data).
class TXImageItem : public TXCustomStreamItem {
    X_CLASS(TXImageItem, TXCustomStreamItem)
public:
    void Init() override;
    TXImageObject* ImageData() const { return static_cast<TXImageObject*>(FData.get()); }
};

// A picture and its thumbnail (Thn).
class TXThnImageItem : public TXImageItem {
    X_CLASS(TXThnImageItem, TXImageItem)
public:
    void Init() override;
    void SetStoreData(bool Value) override;
    // Takes the thumbnail of another thumbnail item, then the rest.
    bool AssignFrom(TPersistent* Source) override;
    TXImageObject* Thn() const { return FThn.get(); }

private:
    TOwnedPtr<TXImageObject> FThn;
};

class TXImageCollection : public TXStreamCollection<TXImageItem> {
    X_CLASS(TXImageCollection, TXStreamCollection<TXImageItem>)
public:
    using inherited::Create;
};

class TXThnImageCollection : public TXStreamCollection<TXThnImageItem> {
    X_CLASS(TXThnImageCollection, TXStreamCollection<TXThnImageItem>)
public:
    using inherited::Create;
};

// A picture and a collection of pictures (Images).
class TXImageGroupItem : public TXImageItem {
    X_CLASS(TXImageGroupItem, TXImageItem)
public:
    void Init() override;
    TXImageCollection* Images() const { return FImages.get(); }

private:
    TOwnedPtr<TXImageCollection> FImages;
};

class TXImageGroupCollection : public TXStreamCollection<TXImageGroupItem> {
    X_CLASS(TXImageGroupCollection, TXStreamCollection<TXImageGroupItem>)
public:
    using inherited::Create;
};

// A design template: its preview picture, the template's stored data and
// language-tagged caption and description.
class TXTemplateItem : public TXImageItem {
    X_CLASS(TXTemplateItem, TXImageItem)
public:
    void Init() override;
    void SetStoreData(bool Value) override;
    // Takes the three members of another template, then the rest.
    bool AssignFrom(TPersistent* Source) override;
    TXStreamObject* TemplateData() const { return FTemplateData.get(); }
    TXStringCollection<>* Caption() const { return FCaption.get(); }
    TXStringCollection<>* Description() const { return FDescription.get(); }

private:
    TOwnedPtr<TXStreamObject> FTemplateData;
    TOwnedPtr<TXStringCollection<>> FCaption;
    TOwnedPtr<TXStringCollection<>> FDescription;
};

class TXTemplateCollection : public TXStreamCollection<TXTemplateItem> {
    X_CLASS(TXTemplateCollection, TXStreamCollection<TXTemplateItem>)
public:
    using inherited::Create;
};

class TXImageGroupObject : public TXLocalizedPersistent {
    X_CLASS(TXImageGroupObject, TXLocalizedPersistent)
public:
    void Init() override;
    TXImageGroupCollection* Groups() const { return FGroups.get(); }

private:
    TOwnedPtr<TXImageGroupCollection> FGroups;
};

// Components carrying picture collections.
class TXImagesBox : public TXComponent {
    X_CLASS(TXImagesBox, TXComponent)
public:
    void Create(TComponent* AOwner) override;
    // From another box: its pictures replace these (a box given itself
    // stays as it is).
    bool AssignFrom(TPersistent* Source) override;
    TXImageCollection* Images() const { return FImages.get(); }

private:
    TOwnedPtr<TXImageCollection> FImages;
};

class TXTemplatesBox : public TXComponent {
    X_CLASS(TXTemplatesBox, TXComponent)
public:
    void Create(TComponent* AOwner) override;
    bool AssignFrom(TPersistent* Source) override;
    TXTemplateCollection* Items() const { return FItems.get(); }

private:
    TOwnedPtr<TXTemplateCollection> FItems;
};

class TXCustomImagesGroupBox : public TComponent {
    X_CLASS(TXCustomImagesGroupBox, TComponent)
public:
    void Create(TComponent* AOwner) override;
    TXImageGroupObject* Images() const { return FImages.get(); }

private:
    TOwnedPtr<TXImageGroupObject> FImages;
};

class TXImagesGroupBox : public TXCustomImagesGroupBox {
    X_CLASS(TXImagesGroupBox, TXCustomImagesGroupBox)
};

// The images boxes of a skin, by component name (case-sensitive); the list
// does not own them.
class TXImagesBoxList : public TXComponentList<TXImagesBox> {
    X_CLASS(TXImagesBoxList, TXComponentList<TXImagesBox>)
public:
    void Create() override { inherited::Create(false); }
};

// The notification that a picture object changed; carries the object.
class TXImageObjectChangedAspect : public TXDataChangedAspect<TXImageObject*> {
    X_CLASS(TXImageObjectChangedAspect, TXDataChangedAspect<TXImageObject*>)
};
