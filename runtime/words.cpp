// Interning the runtime word table in its fixed order.
#include "runtime/words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/stack.h"

namespace zel::words {

uint32_t spec, body, words_, class_, values, owner, owned, events_q, self, logic_x, integer_x, char_x;
uint32_t float_x, percent_x, any_type_x, exit_, return_, windows_, syllable, macos, linux_, netbsd, repeat;
uint32_t foreach, map_each, remove_each, any, break_, copy, end, fail, into, opt, not_, quote, case_, reject;
uint32_t set, skip, some, thru, to, none_, bar, dash, if_, remove, while_, insert, only, collect, keep, pick;
uint32_t ahead, after, x, y, z, true_, false_, yes, no, on, off, type, face, window, offset, key, flag, code;
uint32_t picked, flags, away_q, ctrl_q, shift_q, down_q, mid_down_q, alt_down_q, aux_down_q, orientation;
uint32_t get, put, post, head, size, rgb, alpha, argb, date, year, month, day, zone, isoweek, week, weekday;
uint32_t yearday, julian, time_, hour, minute, second, timezone, amount, user, host, system_, system_global;
uint32_t stack_, trace, no_trace;
Cell _at, _back, _find, _head, _head_q, _index_q, _length_q, _next, _pick, _skip, _select, _tail, _tail_q;
Cell _change, _changed, _clear, _cleared, _set_path, _append, _appended, _move, _moved, _poke, _poked, _put;
Cell _put_ed, _removed, _random, _randomized, _reverse, _reversed, _sort, _sorted, _swap, _swaped, _take;
Cell _taken, _trim, _trimmed, _inserted, _uppercase, _lowercase, _checksum, _push, _pop, _fetch, _match;
Cell _iterate, _paren, _anon_tag, _body_tag, _not_found_tag, _add, _subtract, _divide, _on_parse_event;
Cell _on_change_s, _on_deep_change_s, _type, _id, _try, _catch, _name, _multiply, _browse, _open, _create;
Cell _close, _delete, _modify, _query, _read, _rename, _update, _write, _prescan, _scan, _load, _error;
Cell _comment, _init, _exec, _call, _return, _enter, _exit, _prolog, _epilog, _throw, _expr;
Cell _interp_callback_tag, _lexer_callback_tag, _parse_callback_tag, _compare_callback_tag, _note, _syntax;
Cell _script, _math, _access, _user, _internal, _invalid_error, _local, _applied_tag;
Cell _local_ref, _extern_ref, _compare_ref, _part_ref, _skip_ref, _with_ref, _ooo;

namespace {

struct SymbolEntry {
    const char* name;
    uint32_t* id;
};
struct WordEntry {
    const char* name;
    Cell* word;
};

// The exact order matters: symbol ids are numbered by first interning.
const SymbolEntry SYMBOLS[] = {
    {"spec", &spec},
    {"body", &body},
    {"words", &words_},
    {"class", &class_},
    {"values", &values},
    {"owner", &owner},
    {"owned", &owned},
    {"events?", &events_q},
    {"self", &self},
    {"logic!", &logic_x},
    {"integer!", &integer_x},
    {"char!", &char_x},
    {"float!", &float_x},
    {"percent!", &percent_x},
    {"any-type!", &any_type_x},
    {"exit", &exit_},
    {"return", &return_},
    {"Windows", &windows_},
    {"Syllable", &syllable},
    {"macOS", &macos},
    {"Linux", &linux_},
    {"NetBSD", &netbsd},
    {"repeat", &repeat},
    {"foreach", &foreach},
    {"map-each", &map_each},
    {"remove-each", &remove_each},
    {"any", &any},
    {"break", &break_},
    {"copy", &copy},
    {"end", &end},
    {"fail", &fail},
    {"into", &into},
    {"opt", &opt},
    {"not", &not_},
    {"quote", &quote},
    {"case", &case_},
    {"reject", &reject},
    {"set", &set},
    {"skip", &skip},
    {"some", &some},
    {"thru", &thru},
    {"to", &to},
    {"none", &none_},
    {"|", &bar},
    {"-", &dash},
    {"if", &if_},
    {"remove", &remove},
    {"while", &while_},
    {"insert", &insert},
    {"only", &only},
    {"collect", &collect},
    {"keep", &keep},
    {"pick", &pick},
    {"ahead", &ahead},
    {"after", &after},
    {"x", &x},
    {"y", &y},
    {"z", &z},
    {"true", &true_},
    {"false", &false_},
    {"yes", &yes},
    {"no", &no},
    {"on", &on},
    {"off", &off},
    {"type", &type},
    {"face", &face},
    {"window", &window},
    {"offset", &offset},
    {"key", &key},
    {"flag", &flag},
    {"code", &code},
    {"picked", &picked},
    {"flags", &flags},
    {"away?", &away_q},
    {"ctrl?", &ctrl_q},
    {"shift?", &shift_q},
    {"down?", &down_q},
    {"mid-down?", &mid_down_q},
    {"alt-down?", &alt_down_q},
    {"aux-down?", &aux_down_q},
    {"orientation", &orientation},
    {"get", &get},
    {"put", &put},
    {"post", &post},
    {"head", &head},
    {"size", &size},
    {"rgb", &rgb},
    {"alpha", &alpha},
    {"argb", &argb},
    {"date", &date},
    {"year", &year},
    {"month", &month},
    {"day", &day},
    {"zone", &zone},
    {"isoweek", &isoweek},
    {"week", &week},
    {"weekday", &weekday},
    {"yearday", &yearday},
    {"julian", &julian},
    {"time", &time_},
    {"hour", &hour},
    {"minute", &minute},
    {"second", &second},
    {"timezone", &timezone},
    {"code", &code},
    {"amount", &amount},
    {"user", &user},
    {"host", &host},
    {"system", &system_},
    {"system-global", &system_global},
    {"stack", &stack_},
    {"trace", &trace},
    {"no-trace", &no_trace},
};

const WordEntry GLOBALS[] = {
    {"at", &_at},
    {"back", &_back},
    {"find", &_find},
    {"head", &_head},
    {"head?", &_head_q},
    {"index?", &_index_q},
    {"length?", &_length_q},
    {"next", &_next},
    {"pick", &_pick},
    {"skip", &_skip},
    {"select", &_select},
    {"tail", &_tail},
    {"tail?", &_tail_q},
    {"change", &_change},
    {"changed", &_changed},
    {"clear", &_clear},
    {"cleared", &_cleared},
    {"set-path", &_set_path},
    {"append", &_append},
    {"appended", &_appended},
    {"move", &_move},
    {"moved", &_moved},
    {"poke", &_poke},
    {"poked", &_poked},
    {"put", &_put},
    {"put-ed", &_put_ed},
    {"removed", &_removed},
    {"random", &_random},
    {"randomized", &_randomized},
    {"reverse", &_reverse},
    {"reversed", &_reversed},
    {"sort", &_sort},
    {"sorted", &_sorted},
    {"swap", &_swap},
    {"swaped", &_swaped},
    {"take", &_take},
    {"taken", &_taken},
    {"trim", &_trim},
    {"trimmed", &_trimmed},
    {"inserted", &_inserted},
    {"uppercase", &_uppercase},
    {"lowercase", &_lowercase},
    {"checksum", &_checksum},
    {"push", &_push},
    {"pop", &_pop},
    {"fetch", &_fetch},
    {"match", &_match},
    {"iterate", &_iterate},
    {"paren", &_paren},
    {"<anon>", &_anon_tag},
    {"<body>", &_body_tag},
    {"<not-found>", &_not_found_tag},
    {"add", &_add},
    {"subtract", &_subtract},
    {"divide", &_divide},
    {"on-parse-event", &_on_parse_event},
    {"on-change*", &_on_change_s},
    {"on-deep-change*", &_on_deep_change_s},
    {"type", &_type},
    {"id", &_id},
    {"try", &_try},
    {"catch", &_catch},
    {"name", &_name},
    {"multiply", &_multiply},
    {"browse", &_browse},
    {"open", &_open},
    {"create", &_create},
    {"close", &_close},
    {"delete", &_delete},
    {"modify", &_modify},
    {"query", &_query},
    {"read", &_read},
    {"rename", &_rename},
    {"update", &_update},
    {"write", &_write},
    {"prescan", &_prescan},
    {"scan", &_scan},
    {"load", &_load},
    {"error", &_error},
    {"comment", &_comment},
    {"init", &_init},
    {"exec", &_exec},
    {"call", &_call},
    {"return", &_return},
    {"enter", &_enter},
    {"exit", &_exit},
    {"prolog", &_prolog},
    {"epilog", &_epilog},
    {"throw", &_throw},
    {"expr", &_expr},
    {"<interp-callback>", &_interp_callback_tag},
    {"<lexer-callback>", &_lexer_callback_tag},
    {"<parse-callback>", &_parse_callback_tag},
    {"<compare-callback>", &_compare_callback_tag},
    {"throw", &_throw},
    {"note", &_note},
    {"syntax", &_syntax},
    {"script", &_script},
    {"math", &_math},
    {"access", &_access},
    {"user", &_user},
    {"internal", &_internal},
    {"invalid-error", &_invalid_error},
    {"local", &_local},
    {"<applied>", &_applied_tag},
};

}  // namespace

void build() {
    for (const SymbolEntry& s : SYMBOLS) *s.id = word::make_symbol(s.name);
    for (const WordEntry& w : GLOBALS) word::load(w.name, w.word);
    // Frames named <body> and <anon> are left out of call listings.
    stack::set_hidden_symbols(_body_tag.w2, _anon_tag.w2);
}

void build_refinements() {
    refinement::load("local", &_local_ref);
    refinement::load("extern", &_extern_ref);
    refinement::load("compare", &_compare_ref);
    refinement::load("part", &_part_ref);
    refinement::load("skip", &_skip_ref);
    refinement::load("with", &_with_ref);
    issue::load("ooo", &_ooo);
}

}  // namespace zel::words
