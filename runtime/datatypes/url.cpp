// url!: registration, make and to (a url built from a block), mold (the
// percent-encoded UTF-8 text) and path joining, which file! shares.
#include <vector>
#include "runtime/actions.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string_support.h"
#include "runtime/datatypes/string_actions.h"
#include "runtime/datatypes/row.h"
#include "runtime/datatypes/types.h"
#include "runtime/datatypes/url.h"
#include "runtime/errors.h"
#include "runtime/stack.h"
#include "runtime/unicode.h"

namespace zel::url {

namespace {

using string::support::is_any_block;

// scheme "://" host [":" port] then "/" (or "#" before an issue!) and each
// further element, every element formed.
Cell* from_block(Cell* spec) {
    Node node = spec->w2;
    uint32_t head = spec->w1;
    SeriesBuffer* buf = series::buffer_of(node);
    uint64_t n = (buf->tail - buf->head) / sizeof(Cell);
    if (head >= n) {
        Cell t;
        fire(ERR_SCRIPT, "bad-to-arg", set_datatype(&t, TYPE_URL), spec);
    }
    Cell* result = string::push_new(32);
    auto element = [node](uint64_t i) { return series::buffer_of(node)->head_cell()[i]; };
    Cell e = element(head);
    string::form_into(result, &e);
    string::concatenate_literal(result, "://");
    uint64_t i = head + 1;
    if (i < n) {
        e = element(i++);
        string::form_into(result, &e);
    }
    if (i < n && cell::type(&(e = element(i))) == TYPE_INTEGER) {
        string::append_char(series::buffer_of(result), ':');
        string::form_into(result, &e);
        ++i;
    }
    for (; i < n; ++i) {
        e = element(i);
        string::append_char(series::buffer_of(result), cell::type(&e) == TYPE_ISSUE ? '#' : '/');
        string::form_into(result, &e);
    }
    cell::set_type(result, TYPE_URL);
    return result;
}

// The I/O of urls belongs to the platform services and the boot library's
// URL parser, which later parts of the system provide.
[[noreturn]] void platform_not_done(const Cell* value) { fire(ERR_INTERNAL, "not-done", value); }

bool is_http(const Cell* url) { return string::begins_with(url, "http"); }

}  // namespace

Cell* make(Cell* proto, Cell* spec, uint32_t type) {
    if (type == TYPE_URL && is_any_block(cell::type(spec))) return to(proto, spec, type);
    return string::make(proto, spec, type);
}

Cell* to(Cell* proto, Cell* spec, uint32_t type) {
    if (type == TYPE_URL && is_any_block(cell::type(spec))) return from_block(spec);
    return string::to(proto, spec, type);
}

int32_t mold(Cell* value, Cell* buffer, bool /*only*/, bool /*all*/, bool /*flat*/, Cell* /*arg*/, int32_t part,
             int32_t /*indent*/) {
    Cell encoded;
    string::rs_make_at(&encoded, static_cast<uint32_t>(string::rs_length_q(value)) + 16);
    encode(value, &encoded, 0);
    int32_t n = string::rs_length_q(&encoded);
    if (part >= 0 && n > part) n = part;
    string::concatenate(buffer, &encoded, n, 0, true, 0);
    return part - n;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* /*path*/, Cell* /*gparent*/, Cell* /*p_item*/,
                int32_t /*index*/, bool /*case_*/, bool /*get*/, bool /*tail*/, bool /*evt*/) {
    if (value) fire(ERR_SCRIPT, "bad-path-set", element, value);
    // A get-word! element joins the value it names.
    Cell named;
    if (cell::type(element) == TYPE_GET_WORD) element = &(named = *context::get(element));
    Cell formed;
    string::rs_make_at(&formed, 16);
    string::form_into(&formed, element);
    int32_t len = string::rs_length_q(parent);
    uint32_t head = string::head_index(parent);
    bool parent_slash = len > 0 && string::get_char_at(parent, head + static_cast<uint32_t>(len) - 1) == '/';
    bool element_slash = string::rs_length_q(&formed) > 0 && string::get_char_at(&formed, 0) == '/';
    SeriesBuffer* pbuf = series::buffer_of(parent);
    Cell result;
    string::make_in(&result, static_cast<uint32_t>(len) + 16, pbuf->unit());
    string::concatenate(&result, parent, -1, 0, true, 0);
    if (parent_slash && element_slash) formed.w1 = 1;
    else if (!parent_slash && !element_slash) string::append_char(series::buffer_of(&result), '/');
    string::concatenate(&result, &formed, -1, 0, true, 0);
    cell::set_type(&result, cell::type(parent));
    return stack::push(&result);
}

Cell* open(Cell* port, bool, bool, bool, bool, Cell*) { platform_not_done(port); }

Cell* read(Cell* source, Cell* part, Cell* seek, bool, bool, bool, Cell* as) {
    if (is_http(source) && (part || seek || as)) fire(ERR_INTERNAL, "not-done");
    platform_not_done(source);
}

Cell* write(Cell* destination, Cell* /*data*/, bool, bool, bool, bool, Cell*, Cell* seek, Cell* allow, Cell* as) {
    if (is_http(destination) && (seek || allow || as)) fire(ERR_INTERNAL, "not-done");
    platform_not_done(destination);
}

void init() {
    datatypes::inherited_row()
        .set(ACT_MAKE, &make)
        .set(ACT_TO, &to)
        .set(ACT_MOLD, &mold)
        .set(ACT_EVAL_PATH, &eval_path)
        .set(ACT_OPEN, &open)
        .set(ACT_READ, &read)
        .set(ACT_WRITE, &write)
        .empty(ACT_RANDOM)
        .empty(ACT_REFLECT)
        .empty(ACT_SORT)
        .empty(ACT_TRIM)
        .register_as(TYPE_URL, TYPE_STRING, "url!");
}

}  // namespace zel::url
