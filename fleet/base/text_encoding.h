// The program's texts are Windows-1252 bytes (the compiler's execution
// character set), as the windowed program hands them to the ANSI API. A
// Linux terminal and JSON want UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zav {

// Every byte as its Windows-1252 character in UTF-8. The five bytes that
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD,
// so the result is always valid UTF-8, whatever a record holds.
std::string utf8_from_cp1252(std::string_view text);

// Text in UTF-8 as Windows-1252, for showing a file or port name the user
// gave inside the program's messages. A character Windows-1252 lacks becomes
// '?', and so does each sequence that is not UTF-8 as the standard allows
// it: a stray or cut byte, an overlong form (C0 AF is no '/'), a surrogate,
// a code point above U+10FFFF.
std::string cp1252_from_utf8(std::string_view text);

// One character of UTF-8 text, read at text[i] (i < text.size()): its code
// point and the bytes it takes. Every reading of UTF-8 here goes through
// this. A sequence that is no UTF-8 as the standard allows it (see above)
// is not valid; it takes one byte when it starts nothing complete, so that
// the next byte is looked at afresh, and all its bytes when it is complete
// but still no character (an overlong form, a surrogate, beyond U+10FFFF).
struct Utf8Character {
    char32_t code_point = 0;
    size_t length = 1;
    bool valid = false;
};
Utf8Character utf8_character_at(std::string_view text, size_t i);

// The offset of the first bytes in text that are no UTF-8 (as the standard
// allows it, see above), or npos.
size_t invalid_utf8_offset(std::string_view text);

// True when text is UTF-8 as the standard allows it.
bool is_valid_utf8(std::string_view text);

// Text in UTF-8 as Windows-1252, refusing what it cannot hold: on a
// character Windows-1252 lacks, or on bytes that are no UTF-8, returns false
// with bad_offset at the first of them (an offset into text). The five
// bytes that Windows-1252 leaves undefined are taken as the control
// characters U+0081, U+008D, U+008F, U+0090 and U+009D, as Windows' own code
// page table maps them, so that every byte of a record can be written.
bool cp1252_from_utf8_exact(std::string_view text, std::string& cp1252, size_t& bad_offset);

// Windows-1252 text with its control characters (0x00..0x1F, 0x7F) written
// as \x1b and so on, so that a name or record byte can never move the
// cursor, clear the screen or end a line on the user's terminal.
std::string escaped_controls(std::string_view text);

}  // namespace zav
