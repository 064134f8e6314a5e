// Word tokens: words of every kind, issues, refinements; the Unicode spaces
// that end a word; the word module's name scanner.
#include <cstring>
#include <utility>
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/unicode.h"
#include "runtime/evaluator/lexer_internal.h"

namespace zel::lexer {

// The spaces: U+0085, U+00A0, U+1680, U+180E, U+2000-200B, U+2028, U+2029,
// U+202F, U+205F, U+3000.
int unicode_space_at(const uint8_t* p, const uint8_t* end) {
    ptrdiff_t left = end - p;
    switch (p[0]) {
        case 0xC2:
            return left >= 2 && (p[1] == 0x85 || p[1] == 0xA0) ? 2 : 0;
        case 0xE1:
            return left >= 3 && ((p[1] == 0x9A && p[2] == 0x80) || (p[1] == 0xA0 && p[2] == 0x8E)) ? 3 : 0;
        case 0xE2:
            if (left < 3) return 0;
            if (p[1] == 0x80)
                return (p[2] >= 0x80 && p[2] <= 0x8B) || p[2] == 0xA8 || p[2] == 0xA9 || p[2] == 0xAF ? 3 : 0;
            return p[1] == 0x81 && p[2] == 0x9F ? 3 : 0;
        case 0xE3:
            return left >= 3 && p[1] == 0x80 && p[2] == 0x80 ? 3 : 0;
        default:
            return 0;
    }
}

namespace {

// Recently loaded words by name. A name always interns to the same symbol
// and a global word keeps its index, so a hit gives the very cell that
// interning and binding would make; a new runtime start empties it.
struct CachedWord {
    uint32_t hash;
    uint32_t length;
    uint32_t symbol;
    uint32_t index;  // in the global context
    uint8_t name[16];
};
static_assert(sizeof(CachedWord) == 32);
// Two ways per set; a hit in the second way moves to the first, a new word
// enters the first and pushes the older one to the second.
//
// Only the first `cache_sets` sets are in use. A start-up loads a few hundred
// words, and hashed across the whole table they would touch (and fault in)
// nearly every one of its pages; so the sets in use double each time as many
// words have entered as they hold, up to the whole table. An entry left
// behind in a set its name no longer maps to is never found again and is
// simply pushed out in time: it still holds a true symbol and index.
constexpr uint32_t WORD_CACHE_SETS = 8192;
constexpr uint32_t WORD_CACHE_FIRST_SETS = 256;
CachedWord word_cache[WORD_CACHE_SETS][2];
uint32_t cache_sets = WORD_CACHE_FIRST_SETS;
uint32_t cache_entered = 0;  // words entered since the sets in use last doubled
Node cached_context = 0;     // the global context the cached indexes belong to
// Whether any entry has been filled since the cache was last emptied: the
// table starts out zeroed, and clearing what is already clear would fault
// in every page.
bool cache_dirty = false;

// The hash of an ASCII name of at most 16 bytes, or 0 when a byte is not
// ASCII; the name is copied, zero-padded, into `padded`.
uint32_t name_hash(const uint8_t* p, uint32_t n, uint8_t* padded) {
    uint64_t h = 0x9E3779B97F4A7C15u ^ n;
    uint8_t any = 0;
    for (uint32_t i = 0; i < n; ++i) {
        any |= p[i];
        padded[i] = p[i];
        h = (h ^ p[i]) * 0x100000001B3u;
    }
    if (any >= 0x80) return 0;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDu;
    h ^= h >> 33;
    return static_cast<uint32_t>(h) | 1;  // never 0: 0 marks an empty entry
}

// The bare name of a word-family token of a type.
void bare_name(uint32_t type, const uint8_t** name, const uint8_t** end) {
    switch (type) {
        case TYPE_LIT_WORD: case TYPE_GET_WORD: case TYPE_REFINEMENT: case TYPE_ISSUE: ++*name; break;
        case TYPE_SET_WORD: --*end; break;
        default: break;
    }
}

}  // namespace

bool ascii_only(const uint8_t* p, const uint8_t* end) {
    uint8_t any = 0;
    for (; p < end; ++p) any |= *p;
    return any < 0x80;
}

const uint8_t* find_unicode_space(const uint8_t* p, const uint8_t* end) {
    for (; p < end; ++p)
        if (*p >= 0xC2 && unicode_space_at(p, end)) return p;
    return end;
}

const uint8_t* skip_unicode_spaces(const uint8_t* p, const uint8_t* end) {
    while (p < end) {
        int n = unicode_space_at(p, end);
        if (!n) break;
        p += n;
    }
    return p;
}

bool valid_utf8(const uint8_t* p, const uint8_t* end) {
    while (p < end) {
        uint32_t cp;
        p = unicode::fast_decode_utf8_char(p, end, &cp);
        if (cp == unicode::UTF8_INVALID) return false;
    }
    return true;
}

void forget_words() {
    if (cache_dirty) std::memset(word_cache, 0, sizeof word_cache[0] * cache_sets);
    cache_dirty = false;
    cache_sets = WORD_CACHE_FIRST_SETS;
    cache_entered = 0;
    cached_context = 0;
}

void push_word(State& s, const uint8_t* name, const uint8_t* end, uint32_t type) {
    uint32_t n = static_cast<uint32_t>(end - name);
    if (n == 0) fail(s, name, end, static_cast<int32_t>(type));
    if (cached_context != context::global) {
        forget_words();
        cached_context = context::global;
    }
    CachedWord* set = nullptr;
    uint8_t padded[sizeof set->name] = {};
    uint32_t hash = n <= sizeof padded ? name_hash(name, n, padded) : 0;
    if (hash) {
        set = word_cache[hash & (cache_sets - 1)];
        for (int way = 0; way < 2; ++way) {
            CachedWord& e = set[way];
            if (e.hash == hash && e.length == n && std::memcmp(e.name, padded, sizeof padded) == 0) {
                cell::set(push_cell(s), type, context::global, e.symbol, e.index);
                if (way == 1) std::swap(set[0], set[1]);
                return;
            }
        }
    } else if (!ascii_only(name, end) && !valid_utf8(name, end)) {
        fail(s, name, end, static_cast<int32_t>(type));
    }
    Cell w;
    word::make_at(symbol::make_from_bytes(name, n), &w);
    if (set && w.w1 == context::global) {
        set[1] = set[0];
        set[0] = CachedWord{hash, n, w.w2, w.w3, {}};
        cache_dirty = true;
        if (++cache_entered > 2 * cache_sets && cache_sets < WORD_CACHE_SETS) {
            cache_sets *= 2;
            cache_entered = 0;
        }
        std::memcpy(set[0].name, padded, sizeof padded);
    }
    cell::set_type(&w, type);
    *push_cell(s) = w;
}

void scan_word(State& s, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
    bool colon = flags & F_COLON;
    if (flags & F_UTF8_2) {
        const uint8_t* cut = find_unicode_space(start, end);
        if (cut != end) {
            end = s.pos = cut;
            colon = std::memchr(start, ':', static_cast<size_t>(end - start)) != nullptr;
        }
    }
    s.tok_end = end;
    uint32_t type = TYPE_WORD;
    if (colon) {
        bool lead = *start == ':';
        bool trail = end - start > 1 && end[-1] == ':';
        if (lead && !trail) {
            type = TYPE_GET_WORD;
        } else if (trail && !lead) {
            type = TYPE_SET_WORD;
        } else if (lead || trail || s.entry != S_PATH || end >= s.in_end || *end != ':' ||
                   (end + 1 < s.in_end && !is_path_delimiter(end[1]))) {
            // A colon only as the byte after a path item (a set-path) is fine.
            fail(s, start, end, TYPE_WORD);
        }
    }
    if (*start == '\'') {
        if (type == TYPE_SET_WORD) fail(s, start, end, TYPE_LIT_WORD);
        type = TYPE_LIT_WORD;
    }
    s.tok_type = static_cast<int32_t>(type);
}

void scan_issue(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    if (end - start < 2) fail(s, start, end, TYPE_ISSUE);
}

void load_word(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    if (s.tok_end < end) end = s.tok_end;
    uint32_t type = static_cast<uint32_t>(s.type > 0 ? s.type : s.tok_type);
    const uint8_t* name = start;
    const uint8_t* name_end = end;
    bare_name(type, &name, &name_end);
    if (!load) {
        if (name >= name_end || !valid_utf8(name, name_end)) fail(s, start, end, static_cast<int32_t>(type));
        return;
    }
    push_word(s, name, name_end, type);
}

void load_refinement(State& s, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    bool alone = end - start == 1;  // / alone is a word
    const uint8_t* name = alone ? start : start + 1;
    uint32_t type = alone ? TYPE_WORD : TYPE_REFINEMENT;
    if (!load) {
        if (!valid_utf8(name, end)) fail(s, start, end, static_cast<int32_t>(type));
        return;
    }
    push_word(s, name, end, type);
}

uint32_t scan_word_name(const uint8_t* text, uint32_t n, uint32_t* start, uint32_t* length) {
    if (n == 0 || class_of(text[0]) <= C_LF || class_of(text[0]) == C_CONTROL ||
        skip_unicode_spaces(text, text + n) != text)
        return 0;
    Cell out;
    int32_t consumed = 0;
    int32_t type = scan(&out, text, n, true, true, false, false, &consumed, nullptr, nullptr, nullptr);
    if (consumed != static_cast<int32_t>(n) || !word::any_word_q(static_cast<uint32_t>(type))) return 0;
    const uint8_t* name = text;
    const uint8_t* end = text + n;
    bare_name(static_cast<uint32_t>(type), &name, &end);
    *start = static_cast<uint32_t>(name - text);
    *length = static_cast<uint32_t>(end - name);
    return static_cast<uint32_t>(type);
}

}  // namespace zel::lexer
