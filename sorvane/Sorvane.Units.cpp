#include "sorvane/Sorvane.Units.h"

const std::vector<std::string>& SorvaneUnits()
{
    static const std::vector<std::string> Units {
        "Rtl.Format",
        "WinApi",
        "XCore.Classes",
        "XCore.Errors",
        "XCore.App",
        "XCore.Version",
        "XCore.Locale",
        "XCode.Trek",
        "XCore.ScreenMetrics",
        "XCore.Streams",
        "XCore.Intervals",
        "XCore.Engine.Worker",
        "XClasses",
        "XSpark.Classes",
        "XCore.XMLObjects",
    };
    return Units;
}
