#include "core/XCore.Version.h"
#include "core/XCore.Errors.h"
#include "rtl/Units.h"
#include <filesystem>
#include <limits>

X_REGISTER_CLASS(TXQVVersion)

namespace {

TXQVVersion* Instance = nullptr;

// Optional sign and decimal digits, within 32 bits; anything else is 0.
Integer ReadPart(StringView Text)
{
    size_t I = 0;
    bool Negative = false;
    if (I < Text.size() && (Text[I] == u'+' || Text[I] == u'-'))
        Negative = Text[I++] == u'-';
    if (I == Text.size())
        return 0;
    Int64 Value = 0;
    for (; I < Text.size(); ++I) {
        if (Text[I] < u'0' || Text[I] > u'9')
            return 0;
        Value = Value * 10 + (Text[I] - u'0');
        if (Value > Int64(std::numeric_limits<Integer>::max()) + 1)
            return 0;
    }
    if (Negative)
        Value = -Value;
    if (Value > std::numeric_limits<Integer>::max())
        return 0;
    return Integer(Value);
}

Integer Sign(Int64 A, Int64 B)
{
    return A < B ? -1 : A > B ? 1 : 0;
}

void InitVersion()
{
    Instance = New<TXQVVersion>();
    Instance->Initialize();
}

void DoneVersion()
{
    FreeAndNil(Instance);
}

}

X_UNIT(XCore_Version, "XCore.Version", {}, &InitVersion, &DoneVersion)

TXQVVersion* QVVersion()
{
    return Instance;
}

TXVersionRec TXVersionRec::Parse(StringView Text)
{
    TXVersionRec V;
    Integer* Parts[] = { &V.Major, &V.Minor, &V.Release, &V.Build };
    size_t Start = 0;
    for (Integer* Part : Parts) {
        if (Start > Text.size())
            break;
        size_t Dot = Text.find(u'.', Start);
        size_t End = Dot == StringView::npos ? Text.size() : Dot;
        *Part = ReadPart(Text.substr(Start, End - Start));
        Start = End + 1;
    }
    return V;
}

String TXVersionRec::ToString() const
{
    auto Text = [](Integer N) { return UTF8ToString(std::to_string(N)); };
    return Text(Major) + u"." + Text(Minor) + u"." + Text(Release) + u"." + Text(Build);
}

Integer TXVersionRec::Compare(const TXVersionRec& Other) const
{
    const Integer Mine[] = { Build, Major, Minor, Release };
    const Integer Theirs[] = { Other.Build, Other.Major, Other.Minor, Other.Release };
    for (size_t I = 0; I < 4; ++I)
        if (Integer C = Sign(Mine[I], Theirs[I]))
            return C;
    return 0;
}

bool TXVersionRangeRec::Contains(const TXVersionRec& V) const
{
    if (!Start.IsEmpty() && !Start.IsAtMost(V))
        return false;
    return Ends.IsEmpty() || V.IsAtMost(Ends);
}

bool TXQVVersion::GetFileVersion(const String& FileName, TXVersionRec& Version) const
{
    Version.Clear();
    const bool Found = XGuarded(xecNone, false, [&] {
        std::error_code Error;
        std::filesystem::path Path(StringToUTF8(FileName));
        if (FileName.empty() || !std::filesystem::equivalent(Path, "/proc/self/exe", Error) || Error)
            return false;
        TXVersionRec Own = ProgramVersion();
        if (Own.IsEmpty())
            return false;
        Version = Own;
        return true;
    });
    if (!Found)
        Version.Clear();
    return Found;
}

String TXQVVersion::GetFileVersionText(const String& FileName) const
{
    TXVersionRec V;
    GetFileVersion(FileName, V);
    return V.ToString();
}

TXVersionRec TXQVVersion::ProgramVersion() const
{
    TMonitorLock Lock(this);
    return FProgramVersion;
}

void TXQVVersion::SetProgramVersion(const TXVersionRec& Version)
{
    TMonitorLock Lock(this);
    FProgramVersion = Version;
}
