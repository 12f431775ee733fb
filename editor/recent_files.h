// recent_files.h - the File menu's list of recently opened pictures, as plain C++ over UTF-8
// texts: what the editor keeps in its small text file (one path a line, newest first) and how
// a newly opened path joins the list. Header-only, so that the native unit tests read the same
// code the editor runs.
#ifndef EDITOR_RECENT_FILES_H
#define EDITOR_RECENT_FILES_H

#include <stddef.h>

#include <string>
#include <vector>

namespace editor {

// The most paths the list keeps.
const size_t RecentFilesKept = 8;

// Whether two paths name the same file as Windows compares names: ASCII letters in either
// case, "/" and "\" alike. (Other scripts' letters are compared exactly.)
inline bool SameRecentPath(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x == '/')
            x = '\\';
        if (y == '/')
            y = '\\';
        if (x != y)
            return false;
    }
    return true;
}

// `path` put first; an earlier entry for the same file goes, and the oldest past the limit.
inline void AddRecentFile(std::vector<std::string>* list, const std::string& path) {
    std::vector<std::string> updated{path};
    for (const std::string& entry : *list)
        if (updated.size() < RecentFilesKept && !SameRecentPath(entry, path))
            updated.push_back(entry);
    list->swap(updated);
}

// The file's text as the list: one path a line (LF or CR LF), empty lines and a UTF-8 byte
// order mark skipped, repeats and entries past the limit dropped, as a hand-edited file may have.
inline std::vector<std::string> ParseRecentFiles(const std::string& text) {
    std::vector<std::string> list;
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (at < text.size() && list.size() < RecentFilesKept) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        bool repeated = false;
        for (const std::string& entry : list)
            repeated = repeated || SameRecentPath(entry, line);
        if (!line.empty() && !repeated)
            list.push_back(line);
        at = end + 1;
    }
    return list;
}

inline std::string FormatRecentFiles(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& entry : list)
        text += entry + "\r\n";
    return text;
}

} // namespace editor

#endif
