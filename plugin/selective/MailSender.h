#pragma once
// Who sent a message, as the list shows it: the display name of the first
// mailbox of a From value (quotes and comments taken off, encoded words
// decoded), else the address. Pure byte work.

#include <cstddef>
#include <string>

// "Taro <t@example.jp>" gives "Taro", "<t@example.jp>" and "t@example.jp" give
// the address, "t@example.jp (Taro)" gives "Taro". An empty value gives "".
std::u16string DecodeSender(const char* value, std::size_t length);
