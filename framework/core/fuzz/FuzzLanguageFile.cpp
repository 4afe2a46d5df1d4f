#include "rtl/testing/FuzzTarget.h"
#include "core/XCore.Filers.h"
#include "core/XSpark.Lg.English.h"
#include "core/XSpark.Lg.Filers.h"
#include "core/XSpark.Lg.h"

// The input is a language file of the desktop program: its header is read
// alone, then the whole language, which goes into a language object as the
// wizard hands it on (named streams, then the word table).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TBytesStream> Source(FuzzStream(Data, Size));
    TOwnedPtr<TXLgHeader> Header(New<TXLgHeader>());
    Header->SetAppID(6001);
    Header->SetAppVer(600);
    FilerLoadFromStream(Source.get(), TXLgFiler::StaticClass(), Header.get(), false, nullptr);
    TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
    Project->SetAppID(6001);
    Project->SetAppVer(600);
    Source->SetPosition(0);
    FilerLoadFromStream(Source.get(), TXLgFiler::StaticClass(), Project.get(), false, nullptr);
    TOwnedPtr<TXLg> Language(New<TXLg>());
    for (Integer I = 0; I < Project->Streams()->Count(); ++I) {
        TXBI* Item = Project->Streams()->Items(I);
        Language->AddStream(Item->Data()->DataClass(), Item->Data()->DataStream(), Item->DisplayName());
    }
    Language->LoadWordsFromStream(Project->Words(), true);
    return Language->GetLgID() == Cardinal(-1) && Header->LgID() == 1;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(6001, 600));
    Seeds.Add("english", English.get());
    TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
    Project->SetName(u"Test");
    Project->SetLgID(7);
    Project->SetAppID(6001);
    Project->SetAppVer(600);
    const UTF8String Words = MakeWordTableText({ { 1, u"7" }, { 0x1A, u"Kalender" } });
    Project->Words()->WriteBuffer(Words.data(), Int64(Words.size()));
    TXBI* Help = Project->Streams()->Add();
    Help->SetDisplayName(u"Help");
    TOwnedPtr<TBytesStream> Text(New<TBytesStream>(std::vector<Byte> { 'h', 'e', 'l', 'p' }));
    Help->Data()->LoadFromStream(u".txt", Text.get());
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    FilerSaveToStream(Stream.get(), TXLgFiler::StaticClass(), Project.get(), false, nullptr);
    Seeds.Add("with-stream", Stream.get());
}
