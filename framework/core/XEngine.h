// Published properties by name and the registry form of an object: every
// stored published value is a text value of its key, every object property
// a subkey, collection items the numbered subkeys "Item0", "Item1" ...
//
//     SaveObjectToRegistry(Settings, u"Software\\Quorvale\\KXR7\\");
//     LoadObjectFromRegistry(Settings, u"Software\\Quorvale\\KXR7\\");
//
// Keys lie below HKEY_CURRENT_USER. The routines answer False on any
// failure and never raise; nothing goes to the error record.
#pragma once
#include "rtl/Object.h"

class TStrings;

// The stored published properties of Object in their order: value kinds
// into ValueNames, object properties into ObjectNames (both cleared first).
void ListPropertyNames(TObject* Object, TStrings* ValueNames, TStrings* ObjectNames);
// Sets the property Path of Root from Text. Path is a property name of
// Root itself; paths through components and sub-objects are not read yet
// and answer False.
bool SetPropertyText(TObject* Root, StringView Path, StringView Text);
bool SaveObjectToRegistry(TObject* Object, const String& Key);
// False when Key is missing, and when a subkey names no object property
// (what was loaded before it stays).
bool LoadObjectFromRegistry(TObject* Object, const String& Key);
