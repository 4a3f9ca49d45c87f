#pragma once
// Text crosses three encodings: UTF-8 inside the program, Latin-1 bytes to and
// from the equipment, Windows-1252 in the log and configuration files.
#include <cstddef>
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

inline constexpr char32_t kCaractereInvalido = 0xFFFFFFFF;
inline constexpr char32_t kSubstituto = 0xFFFD;

// Decodes the character at pos and moves pos past it. A broken sequence
// (stray continuation byte, overlong form, surrogate, value above U+10FFFF,
// sequence cut short) yields kCaractereInvalido and consumes only its longest
// valid prefix, so the byte that broke it starts the next character.
char32_t ProximoCaractereUtf8(std::string_view texto, size_t& pos);
void AnexarUtf8(std::string& saida, char32_t c);
// Code points for editing; a broken sequence becomes U+FFFD.
std::u32string Utf8ParaU32(std::string_view texto);
// Surrogates and values above U+10FFFF become U+FFFD.
std::string U32ParaUtf8(std::u32string_view texto);

}  // namespace tvx
