// Helpers shared by every test program: a temporary folder, the raised-code
// probe, whole files and streams as bytes, and outside tools run by
// argument vector (never through a shell).
#pragma once
#include "rtl/Types.h"
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TStream;

namespace Testing {

using Bytes = std::vector<Byte>;

// A new empty folder under the system temporary folder, removed with
// everything in it (links are removed, never followed) when this goes.
class TTempFolder {
public:
    explicit TTempFolder(const std::string& Prefix = "quorvale-test");
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // Path() / Name as a String, for the code under test.
    String File(const std::string& Name) const;
    std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

private:
    std::filesystem::path FPath;
};

// Sets (or, with no value, removes) an environment variable and puts back
// what was there when this goes.
class TScopedEnv {
public:
    TScopedEnv(std::string Name, const std::optional<std::string>& Value);
    ~TScopedEnv();
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// The code carried by an exception that Fn raised (the framework raises its
// error codes as their decimal text); 0 when Fn raised nothing, -1 when it
// raised something that carries no code.
Integer RaisedCode(const std::function<void()>& Fn);

Bytes ReadFileBytes(const std::filesystem::path& Path);
void WriteFileBytes(const std::filesystem::path& Path, const Bytes& Data);
// The whole stream from its start; the position is left at its end.
Bytes StreamBytes(TStream* Stream);

struct TToolResult {
    int ExitCode = -1;          // 127: the tool is not there; -1: killed by a signal
    std::string Output;         // standard output; standard error is dropped
};

// Runs Argv[0] (found on PATH) with exactly these arguments in Folder (the
// current folder when empty), Input on its standard input.
TToolResult RunTool(const std::vector<std::string>& Argv, const std::filesystem::path& Folder = {},
    const std::string& Input = {});
// True when Name is an executable on PATH.
bool HaveTool(const std::string& Name);

}
