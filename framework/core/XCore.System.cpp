#include "core/XCore.System.h"
#include "core/XCore.IO.h"
#include "core/XCore.Strings.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"
#include "vcl/ImgList.h"
#include "win/Metrics.h"
#include "win/ShellExecute.h"
#include "win/SystemFolders.h"

X_REGISTER_CLASS(TXQVSystem)

namespace {

TXQVSystem* GSystem = nullptr;
TCustomImageList* GLargeImages = nullptr;
TCustomImageList* GSmallImages = nullptr;

const Char* const VerbNames[] = { u"open", u"print", u"install", u"explore" };

TCustomImageList* NewSharedImages(Integer Width, Integer Height)
{
    TImageList* List = New<TImageList>(nullptr);
    List->SetShareImages(true);
    List->SetColorDepth(cd32Bit);
    List->SetDrawingStyle(dsTransparent);
    List->SetWidth(Width);
    List->SetHeight(Height);
    return List;
}

void InitSystem()
{
    GLargeImages = NewSharedImages(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    GSmallImages = NewSharedImages(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    GSystem = New<TXQVSystem>();
}

void DoneSystem()
{
    FreeAndNil(GSystem);
    FreeAndNil(GSmallImages);
    FreeAndNil(GLargeImages);
}

String Documents()
{
    return GetSpecialFolderPath(CSIDL_PERSONAL);
}

String Home()
{
    const String Home = GetHomeDirectory();
    return Home.empty() ? Documents() : Home;
}

String SpecialOr(Integer Id, const Char* UnderDocuments)
{
    const String Folder = GetSpecialFolderPath(Id);
    return Folder.empty() ? IncludePathDelimiter(Documents()) + UnderDocuments : Folder;
}

}

X_UNIT(XCore_System, "XCore.System", ({ "XCore.IO" }), &InitSystem, &DoneSystem)

const Char* const TXQVSystem::Macros[sfCount] = { u"<win>", u"<sys>", u"<tmp>", u"<pf>", u"<wpf>", u"<home>", u"<desk>",
    u"<appdata>", u"<mydoc>", u"<mymusic>", u"<mypictures>", u"<com>", u"<user>" };

void TXQVSystem::Initialize()
{
    inherited::Initialize();
    FFolders[sfWindows] = GetWindowsDirectory();
    FFolders[sfSystem] = GetSystemDirectory();
    FFolders[sfTemp] = GetTempPath();
    FFolders[sfProgramFiles] = GetSpecialFolderPath(CSIDL_PROGRAM_FILES);
    FFolders[sfUserPrograms] = Home() + u"Programs/";
    FFolders[sfHome] = Home();
    FFolders[sfDesktop] = GetSpecialFolderPath(CSIDL_DESKTOP);
    FFolders[sfAppData] = GetAppDataDirectory();
    FFolders[sfDocuments] = Documents();
    FFolders[sfMusic] = SpecialOr(CSIDL_MYMUSIC, u"My Music/");
    FFolders[sfPictures] = SpecialOr(CSIDL_MYPICTURES, u"My Pictures/");
    FFolders[sfComputerName] = GetComputerName();
    FFolders[sfUserName] = GetUserName();
    RegisterPathExpander(TXPathExpander::Of<&TXQVSystem::ExpandMacros>(this));
    FRegistered = true;
}

TXQVSystem::~TXQVSystem()
{
    if (FRegistered)
        UnregisterPathExpander(TXPathExpander::Of<&TXQVSystem::ExpandMacros>(this));
}

String TXQVSystem::ExpandMacros(const String& Text)
{
    String S = Text;
    for (Integer I = 0; I < sfCount; ++I)
        if (S.find(Macros[I]) != String::npos)
            S = xStr::ReplaceAll(Macros[I], FFolders[I], S);
    return S;
}

bool TXQVSystem::ShellExecute(Integer Verb, const String& FileName, const String& Parameters, const String& Directory)
{
    if (Verb < xsvOpen || Verb > xsvExplore)
        return false;
    return ::ShellExecute(nullptr, VerbNames[Verb], FileName, Parameters, Directory, SW_SHOWNORMAL) > 32;
}

bool TXQVSystem::ShellOpen(const String& FileName)
{
    return ShellExecute(xsvOpen, FileName, {}, {});
}

bool TXQVSystem::MailTo(const String& Address)
{
    static constexpr StringView Prefix = u"mailto:";
    const bool Prefixed =
        Address.size() >= Prefix.size() && SameText(StringView(Address).substr(0, Prefix.size()), Prefix);
    // An address is only ever opened, whatever file it may name.
    return OpenDocument(Prefixed ? Address : String(Prefix) + Address) > 32;
}

TXQVSystem* QVSystem()
{
    return GSystem;
}

String GetSpecialFolderPath(Integer Id)
{
    String Path;
    if (!SHGetSpecialFolderPath(Id, Path, true))
        return {};
    return IncludePathDelimiter(Path);
}

TCustomImageList* SystemImagesLarge()
{
    return GLargeImages;
}

TCustomImageList* SystemImagesSmall()
{
    return GSmallImages;
}
