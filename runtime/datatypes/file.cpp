// file!: registration, mold (a percent sign, and double quotes around names
// that need them) and the file I/O actions, which the platform services run.
#include <algorithm>
#include <vector>
#include "runtime/actions.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/types.h"
#include "runtime/datatypes/url.h"
#include "runtime/errors.h"

namespace zel::file {

namespace {

// File I/O belongs to the platform services, which a later part of the
// system provides; until then every such action says so.
[[noreturn]] void platform_not_done(const Cell* value) { fire(ERR_INTERNAL, "not-done", value); }

}  // namespace

int32_t mold(Cell* value, Cell* buffer, bool /*only*/, bool all, bool /*flat*/, Cell* arg, int32_t part,
             int32_t /*indent*/) {
    uint32_t len = static_cast<uint32_t>(string::rs_length_q(value));
    if (arg) {
        int32_t limit = cell::type(arg) == TYPE_INTEGER ? cell::get_int(arg) : static_cast<int32_t>(len);
        len = limit < 0 ? 0 : std::min(len, static_cast<uint32_t>(limit));
    }
    uint32_t head = string::head_index(value);
    std::vector<uint32_t> cps(len);  // taken aside: the buffer may be the value's own
    bool quotes = len == 0;
    for (uint32_t i = 0; i < len; ++i) {
        cps[i] = string::get_char_at(value, head + i);
        quotes |= cps[i] < 0x7F && !url::in_url_set(cps[i]);
    }
    string::append_char(series::buffer_of(buffer), '%');
    if (quotes) {
        // Quoted names are escaped like strings, so that a name holding a
        // double quote or a caret loads back as the same file.
        string::append_char(series::buffer_of(buffer), '"');
        for (uint32_t c : cps) string::append_escaped_char(buffer, c, string::ESCAPE_MODE, all);
        string::append_char(series::buffer_of(buffer), '"');
    } else {
        for (uint32_t c : cps) string::append_char(series::buffer_of(buffer), c);
    }
    return part - static_cast<int32_t>(len) - 1;
}

Cell* delete_(Cell* file) { platform_not_done(file); }
Cell* query(Cell* file) { platform_not_done(file); }
Cell* rename(Cell* from, Cell* /*to*/) { platform_not_done(from); }

Cell* read(Cell* source, Cell*, Cell*, bool, bool, bool, Cell* as) {
    if (as) fire(ERR_INTERNAL, "not-done");
    platform_not_done(source);
}

Cell* write(Cell* destination, Cell*, bool, bool, bool, bool, Cell*, Cell*, Cell* allow, Cell* as) {
    if (allow || as) fire(ERR_INTERNAL, "not-done");
    platform_not_done(destination);
}

void init() {
    datatypes::inherited_row()
        .set(ACT_MOLD, &mold)
        .set(ACT_DELETE, &delete_)
        .set(ACT_QUERY, &query)
        .set(ACT_READ, &read)
        .set(ACT_RENAME, &rename)
        .set(ACT_WRITE, &write)
        .empty(ACT_OPEN)
        .register_as(TYPE_FILE, TYPE_URL, "file!");
}

}  // namespace zel::file
