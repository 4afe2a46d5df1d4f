#include "sorvane/Sorvane.Units.h"

const std::vector<std::string>& SorvaneUnits()
{
    static const std::vector<std::string> Units {
        "Rtl.Format",
        "WinApi",
        "Forms",
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
        "XSpark.Lg",
        "XCore.XMLObjects",
        "XCore.IO",
        "XCore.System",
        "XSpark.App",
        "XPlatform.Utils",
        "XMedia.Resample",
        "XMedia.Pixels",
        "XDR.Work.F",
    };
    return Units;
}
