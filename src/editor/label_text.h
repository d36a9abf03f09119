#pragma once
// Labels are bytes: files written on Windows hold them in its 8-bit code page, files
// written here in UTF-8. The editor shows text that is valid UTF-8 as such and any other
// bytes as the Windows-1252 characters they are, and stores a label typed in the editor
// in Windows-1252 when every character has a byte there (else in UTF-8), so that the file
// reads the same on both systems.
#include <QString>
#include <string>
#include <string_view>

namespace orvo {

// The characters `bytes` stand for.
QString LabelForDisplay(std::string_view bytes);
// The bytes to store for `text`; `current` (the bytes on show) stays as it is while the
// text is what they display.
std::string LabelBytes(const QString& text, std::string_view current);

}  // namespace orvo
