#pragma once
// Text crosses three encodings: UTF-8 inside the program, Latin-1 bytes to and
// from the equipment, Windows-1252 in the log and configuration files.
#include <string>
#include <string_view>

namespace tvx {

// Each byte becomes the Unicode character of the same number (0x80..0x9F too).
std::string Latin1ParaUtf8(std::string_view bytes);
// Characters above U+00FF (and broken UTF-8 sequences) become '?'.
std::string Utf8ParaLatin1(std::string_view texto);
// Windows-1252: 0x80..0x9F are the typographic characters of that code page;
// the five unassigned bytes map to the C1 controls of the same number.
std::string Cp1252ParaUtf8(std::string_view bytes);
std::string Utf8ParaCp1252(std::string_view texto);

}  // namespace tvx
