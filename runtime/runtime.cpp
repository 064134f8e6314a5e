// The start-up sequence. Its order matters: memory before any series, the
// type tables before the first registration, parents before children, the
// root block before anything that must survive a collection, the stacks
// before the boot payload is decoded. The collector stays off throughout;
// the entry code switches it on once its own set-up is done.
#include "runtime/runtime.h"
#include "platform/os.h"
#include "runtime/actions_stack.h"
#include "runtime/collector.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/datatypes/types.h"
#include "runtime/hash.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/print.h"
#include "runtime/stack.h"
#include "runtime/stack_calls.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/trace.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/evaluator/natives.h"
#include "runtime/words.h"

namespace zel::runtime {

Node root = 0;
Node argument_block = 0;
Node call_block = 0;
Node symbol_block = 0;
bool collect_words = false;

namespace {
bool is_started = false;

// Appends a series cell holding `node` to the root block.
void hold_in_root(Node node) {
    Cell* c = series::alloc_tail_cell(root);
    set_series(c, TYPE_BLOCK, node);
}

void make_type_word(uint32_t, const char* name) {
    Cell w;
    word::load(name, &w);
}
}  // namespace

void init() {
    collector::active = false;
    collect_words = true;                 // 1. word collection on
    print::init();                        // 2. print hooks
    platform::init();                     // 3. platform services (console output)
    // 4. random generator: seeded by the random module when it exists; the
    // hash seed it fixes for the life of the process is set here.
    hash::init_seed();
    memory::init();                       // 5. memory manager
    // 6. handle table: set up by the handle module when it exists.
    datatype::init_tables();              // 7. type and action tables
    datatypes::register_all();            // 8. datatypes, in their fixed order
    actions::init();                      // 9. action entry table
    memory::new_node_frame();             // 10. first node frame and series frame
    memory::new_series_frame(0);
    // 11. the root block and the stacks it holds.
    root = series::alloc_fixed(ROOT_CELLS, sizeof(Cell), 0);
    argument_block = series::alloc_fixed(ARGUMENT_STACK_CELLS, sizeof(Cell), 0);
    hold_in_root(argument_block);
    call_block = series::alloc_fixed(CALL_STACK_CELLS, sizeof(Cell), 0);
    hold_in_root(call_block);
    symbol_block = series::alloc_cells(SYMBOL_CELLS);
    hold_in_root(symbol_block);
    context::make_global();               // 11 (cont.): the global context
    // 12. case folding tables: built before main by their module.
    symbol::make_table();                 // 13. symbol hash table over the symbol block
    datatype::make_names(make_type_word); // 14. the global words naming the datatypes
    words::build();                       // 15. the runtime word table
    words::build_refinements();
    stack::init_call_namers();            // error reports name the call from now on
    natives::init();                      // 16. natives (PARSE state, ownership, checksum
                                          //     and compression words join here)
    stack::init(argument_block, call_block);  // 17. stacks
    stack::limit_machine_stack();             // nesting without frames is bounded by the machine stack
    lexer::init();                        // 18. lexer buffers and tables
    // 19. the boot library is loaded by the entry code.
    interpreter::init();                  // 20. interpreter and collector
    trace::init();
    collector::init();
    is_started = true;
}

void cleanup() {
    memory::free_all();
    sys::free_all();
    is_started = false;
}

bool started() { return is_started; }

}  // namespace zel::runtime
