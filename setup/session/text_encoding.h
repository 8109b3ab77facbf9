// The code pages of the installer's text. The program declares UTF-8 its active code
// page: where the system honours that (Windows 10 1903 and later, the Wine the tests use),
// every 8-bit text the program holds is UTF-8, and so is every "A" call, the command line,
// the windows and the string table. Where it does not, the program holds text in the
// system's legacy ANSI code page, as it always has, and nothing here converts anything.
//
// Two kinds of files are in another code page: the CD's (catalogue, file lists, language
// list, configuration template), mastered in whatever code page the CD was made in; and the
// files the suite's own programs read (qvtools8.cfg, dbcodes.inf, qvxfr.cfg), which they
// read in the legacy ANSI code page. The installer's own files (its log, answer files, the
// install record) are in the program's code page.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// True when the program's active code page is UTF-8.
bool ProgramUsesUtf8();

// True when the bytes are well-formed UTF-8 (plain ASCII included).
bool IsValidUtf8(std::string_view bytes);

// Text read from the CD, in the program's code page: where the program uses UTF-8, text
// that is valid UTF-8 as it is, any other converted from the legacy ANSI code page; where
// it does not, the bytes as they are.
std::string FromCdText(std::string_view bytes);

// Text for a file the suite's own programs read, in the legacy ANSI code page. False when
// a character has no place in that code page: `legacy` then holds nothing of it, never a
// "?" in its place.
bool ToLegacyText(std::string_view text, std::string& legacy);
// Text read from such a file, in the program's code page.
std::string FromLegacyText(std::string_view legacy);

// A path for such a file: the path in the legacy code page where it fits; else its short
// (8.3) form where the volume has one for the folders that exist (what does not exist yet
// has none). False when neither fits: `legacy` is then empty.
bool ToLegacyPath(const std::string& path, std::string& legacy);

// The native build stands for a system that does not honour the manifest unless a test
// says otherwise.
void SetProgramUsesUtf8ForTests(bool utf8);

}  // namespace qv
