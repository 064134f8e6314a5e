// The fixed registration order of the datatypes. Parents come before their
// children because inheritance copies the parent's row at registration.
// A type whose module does not exist yet registers an empty row here, so
// that its children inherit correctly once it is filled in.
#include "runtime/datatypes/types.h"
#include "runtime/cell.h"
#include "runtime/datatype.h"

namespace zel::datatypes {

namespace {

struct Row {
    uint32_t id;
    uint32_t parent;
    const char* name;
};

// In registration order.
constexpr Row ORDER[] = {
    {TYPE_DATATYPE, 0, "datatype!"}, {TYPE_UNSET, 0, "unset!"}, {TYPE_NONE, 0, "none!"},
    {TYPE_LOGIC, 0, "logic!"}, {TYPE_SERIES, 0, "series!"}, {TYPE_BLOCK, TYPE_SERIES, "block!"},
    {TYPE_STRING, TYPE_SERIES, "string!"}, {TYPE_BINARY, TYPE_STRING, "binary!"},
    {TYPE_INTEGER, 0, "integer!"}, {TYPE_SYMBOL, 0, "symbol!"}, {TYPE_CONTEXT, 0, "context!"},
    {TYPE_WORD, TYPE_SYMBOL, "word!"}, {TYPE_LIT_WORD, TYPE_WORD, "lit-word!"},
    {TYPE_SET_WORD, TYPE_WORD, "set-word!"}, {TYPE_GET_WORD, TYPE_WORD, "get-word!"},
    {TYPE_REFINEMENT, TYPE_WORD, "refinement!"}, {TYPE_CHAR, TYPE_INTEGER, "char!"},
    {TYPE_NATIVE, 0, "native!"}, {TYPE_ACTION, TYPE_NATIVE, "action!"}, {TYPE_OP, TYPE_NATIVE, "op!"},
    {TYPE_PATH, TYPE_BLOCK, "path!"}, {TYPE_LIT_PATH, TYPE_PATH, "lit-path!"},
    {TYPE_SET_PATH, TYPE_PATH, "set-path!"}, {TYPE_GET_PATH, TYPE_PATH, "get-path!"},
    {TYPE_FUNCTION, TYPE_CONTEXT, "function!"}, {TYPE_ROUTINE, TYPE_FUNCTION, "routine!"},
    {TYPE_PAREN, TYPE_BLOCK, "paren!"}, {TYPE_ISSUE, TYPE_WORD, "issue!"},
    {TYPE_URL, TYPE_STRING, "url!"}, {TYPE_FILE, TYPE_URL, "file!"}, {TYPE_OBJECT, 0, "object!"},
    {TYPE_BITSET, 0, "bitset!"}, {TYPE_TRIPLE, 0, "triple!"}, {TYPE_FLOAT, 0, "float!"},
    {TYPE_TYPESET, 0, "typeset!"}, {TYPE_ERROR, TYPE_OBJECT, "error!"},
    {TYPE_VECTOR, TYPE_STRING, "vector!"}, {TYPE_MAP, 0, "map!"}, {TYPE_HASH, TYPE_BLOCK, "hash!"},
    {TYPE_PAIR, 0, "pair!"}, {TYPE_PERCENT, TYPE_FLOAT, "percent!"}, {TYPE_TUPLE, 0, "tuple!"},
    {TYPE_TIME, TYPE_FLOAT, "time!"}, {TYPE_TAG, TYPE_STRING, "tag!"}, {TYPE_EMAIL, TYPE_STRING, "email!"},
    {TYPE_HANDLE, TYPE_INTEGER, "handle!"}, {TYPE_DATE, 0, "date!"}, {TYPE_PORT, TYPE_OBJECT, "port!"},
    {TYPE_MONEY, 0, "money!"}, {TYPE_REF, TYPE_STRING, "ref!"}, {TYPE_POINT2D, 0, "point2D!"},
    {TYPE_POINT3D, 0, "point3D!"},
    // The image backend starts here, before image! registers.
    {TYPE_IMAGE, TYPE_SERIES, "image!"},
};

void register_empty(const Row& r) {
    ActionFn row[ACTION_SLOTS];
    for (auto& e : row) e = datatype::INHERIT;
    datatype::register_type(r.id, r.parent, r.name, row, ACTION_SLOTS);
}

}  // namespace

void register_all() {
    for (const Row& r : ORDER) register_empty(r);
}

}  // namespace zel::datatypes
