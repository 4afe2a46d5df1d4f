// Four-part version numbers, version ranges, and the process-wide reader
// of file versions.
#pragma once
#include "rtl/Object.h"

struct TXVersionRec {
    Integer Major = 0;
    Integer Minor = 0;
    Integer Release = 0;
    Integer Build = 0;

    // "a.b.c.d"; a missing or non-numeric part reads as 0.
    static TXVersionRec Parse(StringView Text);
    String ToString() const;
    void Clear() { *this = {}; }
    bool IsEmpty() const { return Major == 0 && Minor == 0 && Release == 0 && Build == 0; }
    // -1, 0 or 1. Build is compared first, then Major, Minor and Release:
    // stored version lists are ordered that way.
    Integer Compare(const TXVersionRec& Other) const;
    bool IsAtLeast(const TXVersionRec& Other) const { return Compare(Other) >= 0; }
    bool IsAtMost(const TXVersionRec& Other) const { return Compare(Other) <= 0; }
};

// An empty end is open.
struct TXVersionRangeRec {
    TXVersionRec Start;
    TXVersionRec Ends;

    void Clear()
    {
        Start.Clear();
        Ends.Clear();
    }
    bool Contains(const TXVersionRec& V) const;
};

// Only our own programs carry a version: the one compiled into the running
// executable, which the program hands over with SetProgramVersion. Every
// other file has none.
class TXQVVersion : public TObject {
    X_CLASS(TXQVVersion, TObject)
public:
    // Called by the unit's initialisation right after creating the instance.
    virtual void Initialize() { }

    bool GetFileVersion(const String& FileName, TXVersionRec& Version) const;
    String GetFileVersionText(const String& FileName) const;

    TXVersionRec ProgramVersion() const;
    void SetProgramVersion(const TXVersionRec& Version);

private:
    TXVersionRec FProgramVersion;
};

// The one instance, made by the unit's initialisation; null outside it.
TXQVVersion* QVVersion();
