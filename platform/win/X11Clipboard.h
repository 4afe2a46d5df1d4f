// The CLIPBOARD selection of an X display: the program's own clipboard
// served to others (TARGETS, UTF8_STRING and the other text targets,
// text/rtf, image/png, text/uri-list, registered formats by name), and
// another owner's read within a size and a time bound (INCR transfers
// too), so an owner that never answers or never ends gives nothing.
// The presenter holds one and hands it the events of its window.
#pragma once
#include "win/Clipboard.h"
#include <chrono>
#include <memory>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

class TX11Clipboard {
public:
    // Dpy is borrowed; the clipboard makes a window of its own on it.
    explicit TX11Clipboard(Display* Dpy);
    ~TX11Clipboard();
    TX11Clipboard(const TX11Clipboard&) = delete;
    TX11Clipboard& operator=(const TX11Clipboard&) = delete;

    // Owns CLIPBOARD with Items (none: gives it up if owned).
    void Offer(const TClipboardItems& Items);
    // Someone else owns CLIPBOARD, or nobody does.
    bool IsForeign();
    std::vector<UINT> Formats();
    std::optional<std::string> Read(UINT Format);
    // Answers requests for the clipboard; true when E was the clipboard's
    // (its window's) and needs nothing else.
    bool Handle(XEvent& E);
    // The most bytes one read takes, and how long it may wait in all.
    void SetLimits(size_t MaxBytes, std::chrono::milliseconds Timeout);

private:
    struct TState;
    std::unique_ptr<TState> F;
};
