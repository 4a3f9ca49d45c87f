#pragma once
// Text crosses three encodings: UTF-8 inside the program, Latin-1 bytes to and
// from the equipment, Windows-1252 in the log and configuration files.
#include <cstddef>
#include <optional>
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

// Text a device sent, for the page, the terminal and the log: each byte
// becomes its Latin-1 character, except the control characters (C0, DEL,
// C1), which become "\xNN" with the byte in hexadecimal, so that no reply
// can move a terminal's cursor, retitle its window, start a line of the log
// or hide what it sent. With linhas, the device's own line breaks (CR LF
// pairs) and tabs stay as they are; a lone CR or LF is shown like any other
// control.
std::string TextoDoEquipamento(std::string_view latin1, bool linhas = false);

// The first character of a UTF-8 text that must not go to a device: a
// control character, or one outside Latin-1 (the records' code page has no
// "€" or curly quotes; such a character would arrive as "?"). A broken
// sequence gives kCaractereInvalido; nothing when every character fits.
std::optional<char32_t> CaractereImproprio(std::string_view texto);
// "\xNN" for a control character, the character itself in quotes otherwise.
std::string DescreverCaractere(char32_t c);

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
