// Between file! paths and the platform's own paths. On POSIX the two forms
// are one: a file! path is the local path. The drive-letter form (a drive
// written as a first segment, /c/dir for c:\dir, backslashes) is kept for
// the platform that uses it and is chosen by naming that platform.
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <vector>
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/errors.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"

namespace zel::file {

namespace {

std::vector<uint32_t> code_points(const Cell* text) {
    uint32_t head = string::head_index(text);
    std::vector<uint32_t> cps(static_cast<uint32_t>(string::rs_length_q(text)));
    for (size_t i = 0; i < cps.size(); ++i) cps[i] = string::get_char_at(text, head + static_cast<uint32_t>(i));
    return cps;
}

void put(Cell* target, uint32_t cp) { string::append_char(series::buffer_of(target), cp); }

// A drive-letter path: /x or /x/... is x:\..., // is \..., /segment is a
// network path \\segment; every further / is \.
void windows_local(const std::vector<uint32_t>& p, Cell* target, bool full) {
    size_t i = 0;
    if (!p.empty() && p[0] == '/') {
        if (p.size() > 1 && p[1] == '/') {
            put(target, '\\');
            i = 2;
        } else if (p.size() > 1 && (p.size() == 2 || p[2] == '/')) {
            put(target, p[1]);
            string::concatenate_literal(target, ":\\");
            i = p.size() == 2 ? 2 : 3;
        } else {
            string::concatenate_literal(target, "\\\\");
            i = 1;
        }
    } else if (full) {
        get_current_dir(target, Platform::WINDOWS);
    }
    for (; i < p.size(); ++i) put(target, p[i] == '/' ? '\\' : p[i]);
}

// The walk of a drive-letter path into file! form: the first ":" marks a
// drive, separators become one "/", a second ":" ends the path.
void windows_to_zel(const std::vector<uint32_t>& p, Cell* target) {
    Cell built;
    string::rs_make_at(&built, static_cast<uint32_t>(p.size()) + 2);
    bool colon = false, separator = false, last_was_separator = false;
    for (size_t i = 0; i < p.size(); ++i) {
        uint32_t c = p[i];
        if (c == ':') {
            if (colon || separator) break;
            colon = separator = last_was_separator = true;
            put(&built, '/');
            if (i + 1 < p.size() && (p[i + 1] == '\\' || p[i + 1] == '/')) ++i;
        } else if (c == '\\' || c == '/') {
            if (!last_was_separator) put(&built, '/');
            separator = last_was_separator = true;
        } else {
            put(&built, c);
            last_was_separator = false;
        }
    }
    if (colon) put(target, '/');
    string::concatenate(target, &built, -1, 0, true, 0);
}

}  // namespace

void get_current_dir(Cell* target, Platform platform) {
    std::vector<char> dir(256);
    while (!getcwd(dir.data(), dir.size())) {
        if (errno != ERANGE || dir.size() > (1u << 20)) fire(ERR_ACCESS, "cannot-open");
        dir.resize(dir.size() * 2);
    }
    Cell text;
    string::rs_make_at(&text, 64);
    string::concatenate_utf8(&text, dir.data(), static_cast<uint32_t>(std::strlen(dir.data())));
    uint32_t separator = platform == Platform::WINDOWS ? '\\' : '/';
    std::vector<uint32_t> cps = code_points(&text);
    for (uint32_t c : cps) put(target, platform == Platform::WINDOWS && c == '/' ? '\\' : c);
    if (cps.empty() || cps.back() != '/') put(target, separator);
}

void convert_to_local(const Cell* file, Cell* target, bool full, Platform platform) {
    std::vector<uint32_t> p = code_points(file);
    if (platform == Platform::WINDOWS) {
        windows_local(p, target, full);
        return;
    }
    if (full && (p.empty() || p[0] != '/')) get_current_dir(target, platform);
    for (uint32_t c : p) put(target, c);
}

void to_zel_file(const Cell* path, Cell* target, Platform platform) {
    std::vector<uint32_t> p = code_points(path);
    if (platform == Platform::WINDOWS) {
        windows_to_zel(p, target);
        return;
    }
    for (uint32_t c : p) put(target, c);
}

std::string to_os_path(const Cell* file) {
    Cell local;
    string::rs_make_at(&local, static_cast<uint32_t>(string::rs_length_q(file)) + 1);
    convert_to_local(file, &local, false);
    std::string out;
    uint8_t bytes[4];
    for (uint32_t c : code_points(&local)) {
        int n = unicode::encode_utf8(c, bytes);
        out.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
    }
    return out;
}

Cell* push(const Cell* file) { return stack::push(file); }

}  // namespace zel::file
