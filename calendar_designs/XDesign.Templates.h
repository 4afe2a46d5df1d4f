// The stored pages the programs ship with, built into the library from
// calendar_designs/templates (one text-form file per layout, named as the
// layout).
#pragma once
#include "rtl/Types.h"
#include <span>

struct TXDesignTemplate {
    const char* Name;
    const unsigned char* Data;
    size_t Size;
};

std::span<const TXDesignTemplate> DesignTemplates();
// The text of the layout Name (compared exactly); empty when there is none.
String DesignTemplateText(StringView Name);
