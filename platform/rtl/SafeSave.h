// Replacing a file's whole content without ever losing the old one.
//
// The data goes into a new temporary file beside the target, is flushed to
// disk, and then takes the target's name with one rename(2): a reader sees
// either the old file or the new one, and a failure leaves the old file as
// it was. The target is never deleted or truncated first. The new file
// gets the old one's permission bits, and a symbolic link is kept: the file
// it points to is the one replaced.
//
//     TOwnedPtr<TReplacementFileStream> File(New<TReplacementFileStream>(Name));
//     Blocks->CopyTo(Volume, File.get());
//     File->Commit();          // freed without Commit, Name is left alone
#pragma once
#include "rtl/Streams.h"
#include "rtl/Types.h"
#include <string_view>

// Raises EFCreateError (ErrorCode = errno) when the file cannot be written.
void SaveBytesToFileSafely(const String& FileName, std::string_view Data);

// A file written in steps that takes FileName's place only once it is
// complete. It reads and writes like any file stream; the bytes go to a
// new temporary file in the target's folder. Commit flushes that file and
// renames it over FileName. Freed without Commit (an abandoned or failed
// write), it deletes the temporary file and the target stays as it was.
class TReplacementFileStream : public THandleStream {
    X_CLASS(TReplacementFileStream, THandleStream)
public:
    // Raises EFCreateError (ErrorCode = errno) when no temporary file can
    // be made.
    void Create(const String& AFileName);
    ~TReplacementFileStream() override;

    const String& FileName() const { return FFileName; }
    // Raises EFCreateError (ErrorCode = errno); the temporary file is gone
    // after a failure, and a second Commit does nothing.
    void Commit();
    // As Commit, but the file takes the name Name (in the same folder)
    // only when nothing has that name: false when something has, and the
    // file stays to be committed under another name. Nothing is ever
    // replaced.
    bool CommitNew(const String& Name);
    bool Committed() const { return FCommitted; }

private:
    void Discard();
    // Flushes and closes the file once; raises as Commit does.
    void Finish();

    String FFileName;
    UTF8String FTarget;
    UTF8String FTemp;
    bool FCommitted = false;
};
