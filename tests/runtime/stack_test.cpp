// The argument stack, the call stack, unwinding and non-local exits.
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/stack.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

class StackTest : public test::RuntimeTest {
protected:
    Cell word(uint32_t sym) { return Cell{TYPE_WORD, 0, sym, 0}; }
    Cell ival(int32_t i) {
        Cell c;
        set_integer(&c, i);
        return c;
    }
    // Runs fn and returns the thrown code (0 when nothing was thrown).
    template <typename Fn>
    uint32_t thrown(Fn fn) {
        try {
            fn();
        } catch (const Thrown& t) {
            return t.code;
        }
        return 0;
    }
};

TEST_F(StackTest, PushPopAndTop) {
    EXPECT_EQ(stack::top_cell(), stack::bottom);
    Cell one = ival(1), two = ival(2);
    stack::push(&one);
    stack::push(&two);
    EXPECT_EQ(cell::get_int(stack::top_cell()), 2);
    EXPECT_EQ(stack::top_type(), uint32_t{TYPE_INTEGER});
    stack::pop(5);  // never below the bottom
    EXPECT_EQ(stack::top, stack::bottom);
}

TEST_F(StackTest, ArgumentOverflowRaisesAndBacksOff) {
    Cell v = ival(7);
    for (uint32_t i = 0; i < ARGUMENT_STACK_CELLS; ++i) stack::push(&v);
    Cell* at_fail = stack::top;
    uint32_t code = 0;
    try {
        stack::push(&v);
    } catch (const Thrown& t) {
        code = t.code;
    }
    EXPECT_EQ(code, uint32_t{THROWN_ERROR});
    // Uncaught here (no try frame): the stacks were emptied by the handler.
    (void)at_fail;
    stack::reset();
}

TEST_F(StackTest, ArgumentOverflowInsideTryLeavesRoomForTheError) {
    Cell v = ival(7);
    // raised_id marks the try frame.
    EXPECT_EQ(test::raised_id([&] {
                  for (uint32_t i = 0; i <= ARGUMENT_STACK_CELLS; ++i) stack::push(&v);
              }),
              "stack-overflow");
    EXPECT_EQ(stack::depth(), 0u);  // the try frame was popped
    EXPECT_LT(stack::top, stack::args_end);
}

TEST_F(StackTest, CallOverflowRaisesAndNeverWritesPastTheEnd) {
    Cell w = word(1);
    uint32_t marked = 1;  // raised_id's try frame
    std::string id = test::raised_id([&] {
        for (;;) {
            stack::mark_native(&w);
            ++marked;
        }
    });
    EXPECT_EQ(id, "stack-overflow");
    EXPECT_EQ(marked, CALL_STACK_FRAMES);
}

TEST_F(StackTest, MarkAndUnwindKeepOneResult) {
    Cell w = word(42);
    Cell a = ival(1);
    stack::push(&a);
    Cell* caller_base = stack::arguments;
    stack::mark_native(&w);
    EXPECT_EQ(stack::frame_symbol(stack::top_frame()), 42u);
    EXPECT_EQ(stack::frame_type(stack::top_frame()), uint32_t{FRAME_NATIVE});
    Cell* base = stack::arguments;
    EXPECT_EQ(base, caller_base + 1);
    Cell b = ival(10), c = ival(20);
    stack::push(&b);
    stack::push(&c);
    stack::unwind_last();
    // Exactly one cell (the result) above the caller's base.
    EXPECT_EQ(stack::arguments, caller_base);
    EXPECT_EQ(stack::top, caller_base + 1);
    EXPECT_EQ(cell::get_int(caller_base), 10);
}

TEST_F(StackTest, UnwindVariants) {
    Cell w = word(3);
    struct Case {
        void (*fn)();
        int top_above_base;   // cells left above the new base
        bool copies_result;
    } cases[] = {
        {stack::unwind, 0, false},  // top = old base + 1 (old base is above the new one)
        {stack::unwind_reset, -1, false},
        {stack::unwind_last, 1, true},
        {stack::unwind_restore_reset, -1, false},
        {stack::unwind_restore_last, 1, true},
    };
    for (const auto& k : cases) {
        stack::reset();
        Cell* base0 = stack::arguments;
        Cell marker = ival(-1);
        stack::push(&marker);  // the caller's own cell at base0
        stack::mark_native(&w);
        Cell r = ival(99);
        stack::push(&r);
        Cell* old_base = stack::arguments;
        k.fn();
        EXPECT_EQ(stack::arguments, base0);
        Cell* expected_top = k.top_above_base == 0 ? old_base + 1 : k.top_above_base == -1 ? base0 : base0 + 1;
        EXPECT_EQ(stack::top, expected_top);
        EXPECT_EQ(cell::get_int(base0), k.copies_result ? 99 : -1);
    }
}

TEST_F(StackTest, FunctionFramesRestoreTheirContext) {
    // A context series: the context cell first; word 2 holds the values.
    Node ctx = series::alloc_cells(2);
    Cell* cc = series::alloc_tail_cell(ctx);
    cell::set(cc, TYPE_CONTEXT, 0, 1234);
    cc->header |= FLAG_STACK_VALUES;
    Cell w = word(5);
    Cell arg = ival(8);
    stack::push(&arg);
    stack::mark_func_body(&w, ctx);
    EXPECT_EQ(series::buffer_of(ctx)->head_cell()->w2, stack::values_ref(stack::bottom));
    EXPECT_TRUE(stack::top_frame()->header & FRAME_BODY_FLAG);
    stack::unwind_restore();
    EXPECT_EQ(series::buffer_of(ctx)->head_cell()->w2, 1234u);
}

TEST_F(StackTest, UnrollStopsAtTypeOrBarrier) {
    Cell w = word(1);
    stack::mark_loop(&w);
    Cell* loop_base = stack::arguments;
    stack::mark_native(&w);
    stack::mark_native(&w);
    stack::unroll_loop(true);
    EXPECT_EQ(stack::depth(), 1u);
    EXPECT_EQ(stack::arguments, loop_base);

    stack::reset();
    stack::call_top = stack::call_begin;
    stack::mark_loop(&w);
    stack::mark_try_all(&w);
    stack::mark_native(&w);
    stack::unroll(FRAME_LOOP, false);
    EXPECT_EQ(stack::frame_type(stack::top_frame()), uint32_t{FRAME_TRY_ALL});
}

TEST_F(StackTest, BreakReachesTheOuterLoopThroughAFunction) {
    Cell w = word(1);
    stack::mark_loop(&w);
    Cell* loop_base = stack::arguments;
    stack::mark_func(&w, 0);  // a function with no loop inside
    stack::mark_native(&w);   // `break/return 5`
    Cell five = ival(5);
    stack::push(&five);
    EXPECT_EQ(thrown([] { stack::unroll_loop_exit(true, 0); }), uint32_t{THROWN_BREAK});
    EXPECT_EQ(stack::depth(), 1u);
    EXPECT_EQ(stack::arguments, loop_base);
    EXPECT_EQ(cell::get_int(loop_base), 5);
    EXPECT_EQ(thrown([] { stack::unroll_loop_exit(false, 1); }), uint32_t{THROWN_CONTINUE});
    EXPECT_EQ(cell::type(stack::arguments), uint32_t{TYPE_UNSET});
}

TEST_F(StackTest, ABarrierTurnsExitsIntoThrowErrors) {
    Cell w = word(1);
    stack::mark_loop(&w);
    stack::mark_try(&w);      // catches the error raised below
    stack::mark_try_all(&w);  // the barrier
    stack::mark_native(&w);
    EXPECT_EQ(test::raised_id([] { stack::unroll_loop_exit(false, 0); }), "break");
    stack::call_top = stack::call_begin;
    stack::reset();
    stack::mark_try(&w);
    stack::mark_native(&w);
    EXPECT_EQ(test::raised_id([] { stack::unroll_func_exit(true); }), "return");
    stack::call_top = stack::call_begin;
    stack::reset();
    stack::mark_try(&w);
    stack::mark_native(&w);
    EXPECT_EQ(test::raised_id([] { stack::unroll_throw(THROWN_ERROR - 1); }), "throw");
}

TEST_F(StackTest, ReturnFindsTheBodyFrame) {
    Cell w = word(1);
    stack::mark_func_body(&w, 0);
    Cell* body_base = stack::arguments;
    stack::mark_interp_eval(&w);
    stack::mark_native(&w);
    Cell v = ival(3);
    stack::push(&v);
    EXPECT_EQ(thrown([] { stack::unroll_func_exit(true); }), uint32_t{THROWN_RETURN});
    EXPECT_EQ(stack::arguments, body_base);
    EXPECT_EQ(cell::get_int(body_base), 3);
    EXPECT_EQ(stack::top, body_base + 1);
    EXPECT_EQ(thrown([] { stack::unroll_func_exit(false); }), uint32_t{THROWN_EXIT});
}

TEST_F(StackTest, ThrowPushesValueAndName) {
    Cell w = word(1);
    stack::mark_catch(&w);
    Cell* catch_base = stack::arguments;
    stack::mark_native(&w);
    Cell v = ival(11), name = word(77);
    stack::push(&v);
    stack::push(&name);
    EXPECT_EQ(thrown([] { stack::unroll_throw(THROWN_ERROR - 2); }), uint32_t{THROWN_ERROR - 2});
    EXPECT_EQ(stack::depth(), 1u);
    EXPECT_EQ(cell::get_int(catch_base), 11);
    EXPECT_EQ(catch_base[1].w2, 77u);
}

TEST_F(StackTest, ErrorsUnrollToTheTryFrameAndPopIt) {
    Cell w = word(1);
    Cell keep = ival(1);
    stack::push(&keep);
    Cell* outer_base = stack::arguments;
    stack::mark_try(&w);
    stack::mark_native(&w);
    stack::mark_loop(&w);
    EXPECT_EQ(thrown([] { fire(ERR_MATH, "zero-divide"); }), uint32_t{THROWN_ERROR});
    EXPECT_STREQ(errors::id_of(stack::top_cell()), "zero-divide");
    EXPECT_EQ(stack::depth(), 0u);
    EXPECT_EQ(stack::arguments, outer_base);
    EXPECT_EQ(cell::type(stack::top_cell()), uint32_t{TYPE_ERROR});
    EXPECT_EQ(errors::class_of(stack::top_cell()), ERR_MATH);
}

TEST_F(StackTest, EvalFlagWalk) {
    Cell w = word(1);
    stack::mark_interp_eval(&w);
    stack::mark_native(&w);
    EXPECT_TRUE(stack::is_eval(nullptr, false));
    EXPECT_TRUE(stack::is_eval(nullptr, true));
    stack::mark_native(&w);
    EXPECT_FALSE(stack::is_eval(nullptr, true));
    EXPECT_TRUE(stack::is_eval(nullptr, false));
}

TEST_F(StackTest, CallerBodyFlagIsSetOnce) {
    Cell w = word(1);
    stack::mark_native(&w);
    stack::mark_native(&w);
    EXPECT_NE(stack::set_caller_body_flag(), 0u);
    EXPECT_EQ(stack::set_caller_body_flag(), 0u);
}

}  // namespace
}  // namespace zel
