#include "calendar_designs/XDesign.Templates.h"
#include "rtl/Types.h"

String DesignTemplateText(StringView Name)
{
    for (const TXDesignTemplate& T : DesignTemplates())
        if (S(T.Name) == Name)
            return UTF8ToString(std::string_view(reinterpret_cast<const char*>(T.Data), T.Size));
    return {};
}
