// The item format shared by the package groups and several configuration files ("var_data.ini",
// "GUItext.ini", the registry database, the uninstall record), and the marker form of a text:
//
//   Item:    <name> 01 <value> <name>"end"      (an empty value is stored as 01 02 03)
//   Marker:  <text> 01
#pragma once

#include <string_view>

#include "runtime/text.h"

// The stored form of an empty item value.
inline constexpr std::string_view kEmptyItemValue = "\x01\x02\x03";

// A marker on disk: its text followed by the byte 01. The byte is added at run time so that the
// program image never holds a complete marker.
Bytes Marker(std::string_view text);

// Bytes after the first `start` up to the first `end` that follows it; empty when either is
// missing. Both markers are complete byte strings.
Bytes BytesBetween(std::string_view bytes, std::string_view start, std::string_view end);

// Value of item `name`. True, and `value` set, only when the item is found with a non-empty value;
// otherwise `value` is left unchanged. The caller treats 01 02 03 as empty.
bool GetItem(std::string_view bytes, std::string_view name, Bytes& value);
// True when the value is the stored form of an empty value (01 02 03) or empty.
bool IsEmptyItemValue(std::string_view value);

// `bytes` followed by the item; an empty value is stored as 01 02 03.
Bytes AppendItem(std::string_view bytes, std::string_view name, std::string_view value);

// Replaces the value of item `name` in place (true), or appends the item when it is not found
// (false). An empty value is stored as 01 02 03.
bool SetItem(Bytes& bytes, std::string_view name, std::string_view value);
