#include "vcl/ExtCtrls.h"
#include "vcl/Forms.h"
#include "win/Time.h"
#include <gtest/gtest.h>

TEST(Timers, FireEveryIntervalWhileEnabledAndMayFreeThemselves)
{
    TManualClock Clock;
    Integer Ticks = 0;
    auto* Timer = New<TTimer>(nullptr);
    Timer->SetInterval(100);
    Timer->SetOnTimer([&](TObject* Sender) {
        if (++Ticks == 3)
            Sender->Free();
    });
    Clock.Advance(99);
    Application->ProcessMessages();
    EXPECT_EQ(Ticks, 0);
    Clock.Advance(1);
    Application->ProcessMessages();
    EXPECT_EQ(Ticks, 1);
    Timer->SetEnabled(false);
    Clock.Advance(500);
    Application->ProcessMessages();
    EXPECT_EQ(Ticks, 1);
    Timer->SetEnabled(true);
    for (int I = 0; I < 5; ++I) {
        Clock.Advance(100);
        Application->ProcessMessages();
    }
    // Freed on its third tick; nothing more came.
    EXPECT_EQ(Ticks, 3);
}
