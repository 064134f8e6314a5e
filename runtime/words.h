// The runtime word table: every word the runtime tests or uses, interned
// once at start, so that a test is one comparison of symbol ids. Symbols
// (compared only), global words (word cells of the global context, also
// pushed, set or passed to callbacks: event names, frame names, error
// classes), refinements and one issue.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel::words {

// Symbol ids, in interning order.
extern uint32_t spec, body, words_, class_, values, owner, owned, events_q, self, logic_x, integer_x, char_x;
extern uint32_t float_x, percent_x, any_type_x, exit_, return_, windows_, syllable, macos, linux_, netbsd;
extern uint32_t repeat, foreach, map_each, remove_each, any, break_, copy, end, fail, into, opt, not_, quote;
extern uint32_t case_, reject, set, skip, some, thru, to, none_, bar, dash, if_, remove, while_, insert, only;
extern uint32_t collect, keep, pick, ahead, after, x, y, z, true_, false_, yes, no, on, off, type, face;
extern uint32_t window, offset, key, flag, code, picked, flags, away_q, ctrl_q, shift_q, down_q, mid_down_q;
extern uint32_t alt_down_q, aux_down_q, orientation, get, put, post, head, size, rgb, alpha, argb, date;
extern uint32_t year, month, day, zone, isoweek, week, weekday, yearday, julian, time_, hour, minute, second;
extern uint32_t timezone, amount, user, host, system_, system_global, stack_, trace, no_trace;

// Global words (word! cells bound to the global context), in interning order.
extern Cell _at, _back, _find, _head, _head_q, _index_q, _length_q, _next, _pick, _skip, _select, _tail;
extern Cell _tail_q, _change, _changed, _clear, _cleared, _set_path, _append, _appended, _move, _moved;
extern Cell _poke, _poked, _put, _put_ed, _removed, _random, _randomized, _reverse, _reversed, _sort;
extern Cell _sorted, _swap, _swaped, _take, _taken, _trim, _trimmed, _inserted, _uppercase, _lowercase;
extern Cell _checksum, _push, _pop, _fetch, _match, _iterate, _paren, _anon_tag, _body_tag, _not_found_tag;
extern Cell _add, _subtract, _divide, _on_parse_event, _on_change_s, _on_deep_change_s, _type, _id, _try;
extern Cell _catch, _name, _multiply, _browse, _open, _create, _close, _delete, _modify, _query, _read;
extern Cell _rename, _update, _write, _prescan, _scan, _load, _error, _comment, _init, _exec, _call, _return;
extern Cell _enter, _exit, _prolog, _epilog, _throw, _expr, _interp_callback_tag, _lexer_callback_tag;
extern Cell _parse_callback_tag, _compare_callback_tag, _note, _syntax, _script, _math, _access, _user;
extern Cell _internal, _invalid_error, _local, _applied_tag;

// Refinements (unbound refinement! cells) and the issue #ooo.
extern Cell _local_ref, _extern_ref, _compare_ref, _part_ref, _skip_ref, _with_ref, _ooo;

// Interns the symbols and the global words, in order (runtime start, once
// the symbol table and the global context exist).
void build();
// Makes the six refinements and the issue (runtime start, after build).
void build_refinements();

}  // namespace zel::words
