// Published properties by name and the registry form of an object: every
// stored published value is a text value of its key, every object property
// a subkey, collection items the numbered subkeys "Item0", "Item1" ...
//
//     SaveObjectToRegistry(Settings, u"Software\\Quorvale\\KXR7\\");
//     LoadObjectFromRegistry(Settings, u"Software\\Quorvale\\KXR7\\");
//
// Property paths start from a root object: an optional component of the
// root and ":", then object properties and collection items joined by ".",
// then the property itself:
//
//     GetPropertyText(Form, u"Pages[1].Font.Size", Text);
//     SetMethodProperty(Dialog, u"Frame1:OnCmdClick", Method);
//
// Keys lie below HKEY_CURRENT_USER. The routines answer False on any
// failure and never raise; nothing goes to the error record.
#pragma once
#include "rtl/Object.h"
#include "rtl/TypInfo.h"

class TStrings;

// The stored published properties of Object in their order: value kinds
// into ValueNames, object properties into ObjectNames (both cleared first).
void ListPropertyNames(TObject* Object, TStrings* ValueNames, TStrings* ObjectNames);
// The object that holds the path's last property, Path cut down to that
// property's name; null when a component, property or item on the way is
// missing. A bad item number counts as 0.
TObject* ResolvePropertyPath(TObject* Root, String& Path);
// The property's value as text (enumerations and sets by their names);
// False and an empty Text when the path does not resolve or reading fails.
bool GetPropertyText(TObject* Root, StringView Path, String& Text);
// Sets the property from Text, converted to its type as a variant would
// be (a Boolean also takes a number: 0 is False, others True).
bool SetPropertyText(TObject* Root, StringView Path, StringView Text);
// Binds a published event property to Method (an empty one unbinds it).
bool SetMethodProperty(TObject* Root, StringView Path, const TMethod& Method);
// The whole save reaches the registry file in one write.
bool SaveObjectToRegistry(TObject* Object, const String& Key);
// False when Key is missing, and when a subkey names no object property
// (what was loaded before it stays). Values that are neither text nor
// integers are passed over. A collection is emptied first and gets its
// items from the subkeys "Item0", "Item1" ... in the order of their
// numbers; other subkeys of a collection are passed over.
bool LoadObjectFromRegistry(TObject* Object, const String& Key);
