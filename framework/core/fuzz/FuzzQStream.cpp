#include "rtl/testing/FuzzTarget.h"
#include "core/XCore.QStream.h"

namespace {

TXRIdentity FuzzIdentity()
{
    TXRIdentity Id;
    SetFilerIdentity(Id, 3000, 0, 0, 0, 0, u"Data");
    return Id;
}

} // namespace

// The container is opened for reading, every resource of every header is
// read, and what is sound is compacted into a new container.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TBytesStream> Stream(FuzzStream(Data, Size));
    TOwnedPtr<TXQStream> C(MakeOwned<TXQStream>());
    C->SetIdentity(FuzzIdentity());
    if (!C->OpenStream(xroRead, Stream.get(), false, nullptr, 0))
        return 0;
    TOwnedPtr<TMemoryStream> Dest(MakeOwned<TMemoryStream>());
    for (Integer G = 0; G < C->Groups()->Count(); ++G) {
        TXRHeaderList* Headers = C->Groups()->Items(G)->Headers.get();
        for (Integer H = 0; H < Headers->Count(); ++H)
            for (Word R = 0; R < Headers->Items(H)->Body.Count; ++R) {
                Dest->SetSize(0);
                C->ReadResourceStream(Headers->Items(H), R, nullptr, Dest.get());
            }
    }
    TOwnedPtr<TMemoryStream> Compacted(MakeOwned<TMemoryStream>());
    C->CompactTo(Compacted.get(), nullptr, false);
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    const String Letter = u"Dear reader, this text is stored compressed. Dear reader, again.";
    const std::string Raw = "RAW!!";
    TOwnedPtr<TMemoryStream> GroupData(MakeOwned<TMemoryStream>());
    GroupData->WriteBuffer("group data group data group data", 32);
    for (bool WithData : { false, true }) {
        TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
        TOwnedPtr<TXQStream> C(MakeOwned<TXQStream>());
        C->SetIdentity(FuzzIdentity());
        C->OpenStream(xroCreate | xroRead | xroWrite, Out.get(), false, nullptr, 0);
        C->AddNamedGroup(u"Data", WithData ? GroupData.get() : nullptr, false, nullptr);
        C->BeginNamedHeader(u"Data", 3, false, nullptr, 3);
        C->AddResourceText(-1, Letter, false, nullptr);
        C->AddResourceBuffer(1, Raw.data(), nullptr, Integer(Raw.size()));
        C->EndNamedHeader(false);
        if (WithData)
            C->AddSingleResourceHeader(u"Other", 4, false, nullptr, GroupData.get(), -2);
        C->Close();
        Seeds.Add(WithData ? "two-groups.xq" : "one-group.xq", Out.get());
    }
    TOwnedPtr<TMemoryStream> Empty(MakeOwned<TMemoryStream>());
    TOwnedPtr<TXQStream> C(MakeOwned<TXQStream>());
    C->SetIdentity(FuzzIdentity());
    C->OpenStream(xroCreate | xroRead | xroWrite, Empty.get(), false, nullptr, 0);
    C->Close();
    Seeds.Add("empty.xq", Empty.get());
}
