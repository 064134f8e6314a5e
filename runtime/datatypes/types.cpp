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
    void (*init)();  // the module's registration; null: an empty row for now
};

// In registration order.
constexpr Row ORDER[] = {
    {TYPE_DATATYPE, 0, "datatype!", datatype::init}, {TYPE_UNSET, 0, "unset!", unset::init}, {TYPE_NONE, 0, "none!", none::init},
    {TYPE_LOGIC, 0, "logic!", logic::init}, {TYPE_SERIES, 0, "series!", series::init}, {TYPE_BLOCK, TYPE_SERIES, "block!", block::init},
    {TYPE_STRING, TYPE_SERIES, "string!", string::init}, {TYPE_BINARY, TYPE_STRING, "binary!", nullptr},
    {TYPE_INTEGER, 0, "integer!", integer::init}, {TYPE_SYMBOL, 0, "symbol!", symbol::init}, {TYPE_CONTEXT, 0, "context!", context::init},
    {TYPE_WORD, TYPE_SYMBOL, "word!", word::init}, {TYPE_LIT_WORD, TYPE_WORD, "lit-word!", lit_word::init},
    {TYPE_SET_WORD, TYPE_WORD, "set-word!", set_word::init}, {TYPE_GET_WORD, TYPE_WORD, "get-word!", get_word::init},
    {TYPE_REFINEMENT, TYPE_WORD, "refinement!", refinement::init}, {TYPE_CHAR, TYPE_INTEGER, "char!", char_::init},
    {TYPE_NATIVE, 0, "native!", native::init}, {TYPE_ACTION, TYPE_NATIVE, "action!", action::init}, {TYPE_OP, TYPE_NATIVE, "op!", op::init},
    {TYPE_PATH, TYPE_BLOCK, "path!", path::init}, {TYPE_LIT_PATH, TYPE_PATH, "lit-path!", lit_path::init},
    {TYPE_SET_PATH, TYPE_PATH, "set-path!", set_path::init}, {TYPE_GET_PATH, TYPE_PATH, "get-path!", get_path::init},
    {TYPE_FUNCTION, TYPE_CONTEXT, "function!", function::init}, {TYPE_ROUTINE, TYPE_FUNCTION, "routine!", routine::init},
    {TYPE_PAREN, TYPE_BLOCK, "paren!", paren::init}, {TYPE_ISSUE, TYPE_WORD, "issue!", issue::init},
    {TYPE_URL, TYPE_STRING, "url!", url::init}, {TYPE_FILE, TYPE_URL, "file!", file::init}, {TYPE_OBJECT, 0, "object!", nullptr},
    {TYPE_BITSET, 0, "bitset!", nullptr}, {TYPE_TRIPLE, 0, "triple!", nullptr}, {TYPE_FLOAT, 0, "float!", float_::init},
    {TYPE_TYPESET, 0, "typeset!", typeset::init}, {TYPE_ERROR, TYPE_OBJECT, "error!", nullptr},
    {TYPE_VECTOR, TYPE_STRING, "vector!", nullptr}, {TYPE_MAP, 0, "map!", nullptr}, {TYPE_HASH, TYPE_BLOCK, "hash!", nullptr},
    {TYPE_PAIR, 0, "pair!", nullptr}, {TYPE_PERCENT, TYPE_FLOAT, "percent!", percent::init}, {TYPE_TUPLE, 0, "tuple!", nullptr},
    {TYPE_TIME, TYPE_FLOAT, "time!", time::init}, {TYPE_TAG, TYPE_STRING, "tag!", nullptr}, {TYPE_EMAIL, TYPE_STRING, "email!", nullptr},
    {TYPE_HANDLE, TYPE_INTEGER, "handle!", nullptr}, {TYPE_DATE, 0, "date!", nullptr}, {TYPE_PORT, TYPE_OBJECT, "port!", nullptr},
    {TYPE_MONEY, 0, "money!", nullptr}, {TYPE_REF, TYPE_STRING, "ref!", nullptr}, {TYPE_POINT2D, 0, "point2D!", nullptr},
    {TYPE_POINT3D, 0, "point3D!", nullptr},
    // The image backend starts here, before image! registers.
    {TYPE_IMAGE, TYPE_SERIES, "image!", nullptr},
};

void register_empty(const Row& r) {
    ActionFn row[ACTION_SLOTS];
    for (auto& e : row) e = datatype::INHERIT;
    datatype::register_type(r.id, r.parent, r.name, row, ACTION_SLOTS);
}

}  // namespace

void register_default(uint32_t type_id) {
    for (const Row& r : ORDER)
        if (r.id == type_id) register_empty(r);
}

void register_all() {
    for (const Row& r : ORDER) {
        if (r.init) r.init(); else register_empty(r);
    }
}

}  // namespace zel::datatypes
