// Checks of invariants that no outside data can break. A failed check is
// a programming error: it names the place and stops the program, in every
// build. Anything a file, card or reply can cause is an input error with
// its code instead.
//
//     X_VERIFY(Index < Count, "slot index past the table");
#pragma once

[[noreturn]] void XVerifyFailed(const char* Condition, const char* Message, const char* File, int Line);

#define X_VERIFY(Condition, Message)                                                                                   \
    do {                                                                                                               \
        if (!(Condition)) [[unlikely]]                                                                                 \
            XVerifyFailed(#Condition, Message, __FILE__, __LINE__);                                                    \
    } while (false)
