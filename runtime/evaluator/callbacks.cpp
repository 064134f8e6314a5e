// User functions called back by the lexer: installed once the interpreter
// exists.
#include "runtime/datatypes/block.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/lexer.h"
#include "runtime/evaluator/natives_support.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "runtime/words.h"

namespace zel::interpreter {

namespace {

constexpr uint32_t KIND_LEXER = 1;

// Calls the callback with the five event arguments; args[1] gets the input
// as the callback left it (it may move the input's index).
bool call_lexer_callback(const Cell* callback, Cell* args) {
    int taken = 0;
    Cell* base = call_with(callback, args, 5, words::_lexer_callback_tag.w2, KIND_LEXER, &taken);
    bool answer = natives::truthy(base);
    // The frame's cells are still in place just after the call: its second
    // argument is the input the callback may have moved. A callback that
    // takes no input has no such cell (what lies there is not its own).
    Cell input = base[1];
    if (taken >= 2 && cell::type(&input) == cell::type(args + 1)) args[1] = input;
    stack::pop(1);
    return answer;
}

void lexer_spec_of(const Cell* callback, Cell* out) {
    if (cell::type(callback) != TYPE_FUNCTION) {
        set_none(out);
        return;
    }
    set_series(out, TYPE_BLOCK, callback->w2);
}

void lexer_token_name(int32_t, Cell* out) { set_none(out); }

}  // namespace

void install_callbacks() {
    lexer::CallbackHook hook{call_lexer_callback, lexer_spec_of, lexer_token_name};
    lexer::set_callback_hook(hook);
}

}  // namespace zel::interpreter
