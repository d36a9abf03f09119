#pragma once
// Text between the program's UTF-8 and the UTF-16 of the Windows calls.
#include <string>
#include <string_view>

namespace orvo {

std::wstring Widened(std::string_view utf8);
std::string Narrowed(std::wstring_view utf16);

}  // namespace orvo
