// The boot library: the embedded Zel sources that define the actions,
// natives, operators and typesets, run once at start-up.
#include "boot/library.h"
#include <cstdio>
#include <string>
#include "boot/sources.h"
#include "runtime/collector.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/memory.h"
#include "runtime/stack.h"

namespace zel::boot {

namespace {

// Loads text into a block; the header "Zel [...]" is left out.
void load_block(const uint8_t* text, size_t length, Cell* out) {
    if (length > UINT32_MAX) fire(ERR_INTERNAL, "no-memory");
    lexer::scan(out, text, static_cast<uint32_t>(length), false, true, true, true, nullptr, nullptr, nullptr,
                nullptr);
    Cell* head = block::rs_head(out);
    Cell* tail = block::rs_tail(out);
    if (tail - head >= 2 && cell::type(head) == TYPE_WORD && cell::type(head + 1) == TYPE_BLOCK) {
        Cell first = *head;
        Cell name;
        word::load("Zel", &name);
        if (first.w2 == name.w2) out->w1 += 2;
    }
}

// Sets the word of a name in the global context.
void set_global(const char* name, const Cell* value) {
    Cell w;
    word::load(name, &w);
    word::set(&w, value);
}

// `make` must exist before the library can make anything, the actions
// included: a first action! value with an untyped spec stands in until the
// library defines the real one.
void bootstrap_make() {
    static const char spec_text[] = "type spec";
    Cell spec;
    load_block(reinterpret_cast<const uint8_t*>(spec_text), sizeof spec_text - 1, &spec);
    collector::Root keep(&spec);
    Cell make;
    native::make_value(&make, &spec, 1, TYPE_ACTION);
    set_global("make", &make);
}

}  // namespace

void load_library() {
    // event! belongs to the view engine; its row is registered here, empty
    // until the view engine fills it.
    ActionFn event_row[ACTION_SLOTS] = {};
    datatype::register_type(TYPE_EVENT, 0, "event!", event_row, ACTION_SLOTS);
    for (uint32_t id = 1; id <= datatype::highest_id(); ++id) {
        const char* name = datatype::name_of(id);
        if (!name || id == TYPE_SERIES) continue;  // series! is a typeset, defined by the library
        Cell dt;
        set_datatype(&dt, id);
        set_global(name, &dt);
    }
    bootstrap_make();
    for (unsigned i = 0; i < SOURCE_COUNT; ++i)
        run_source(reinterpret_cast<const uint8_t*>(SOURCES[i].text), SOURCES[i].length);
    interpreter::freeze_native_specs();
}

void run_source(const uint8_t* text, size_t length) {
    Cell code;
    load_block(text, length, &code);
    collector::Root keep(&code);
    stack::reset();
    interpreter::eval_block(&code, false);
    interpreter::throw_pending();
    stack::reset();
}

bool run_file(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    // A directory opens but cannot be read: that is no script either.
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return false;
    // As wherever UTF-8 is loaded, a leading byte-order mark is no text.
    size_t skip = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    run_source(reinterpret_cast<const uint8_t*>(text.data()) + skip, text.size() - skip);
    return true;
}

}  // namespace zel::boot
