// utf8_wide.h - the hosts keep every text, file names included, in UTF-8; Windows takes names
// in any script only through its wide-character calls. These two convert at that border, for
// every host built for Windows. Invalid input is replaced (U+FFFD), never refused: a name that
// does not convert cleanly then names no file, and the call that uses it fails as for any
// missing file.
#ifndef HOST_MODEL_UTF8_WIDE_H
#define HOST_MODEL_UTF8_WIDE_H

#ifdef _WIN32
#include <string>

namespace host_model {

std::wstring WideFromUtf8(const std::string& text);
// `length` in UTF-16 units; -1: up to the terminating null.
std::string Utf8FromWide(const wchar_t* text, int length = -1);

} // namespace host_model
#endif

#endif
