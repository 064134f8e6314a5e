// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace word {
void init() { datatypes::register_default(TYPE_WORD); }
}  // namespace word

namespace lit_word {
void init() { datatypes::register_default(TYPE_LIT_WORD); }
}  // namespace lit_word

namespace set_word {
void init() { datatypes::register_default(TYPE_SET_WORD); }
}  // namespace set_word

namespace get_word {
void init() { datatypes::register_default(TYPE_GET_WORD); }
}  // namespace get_word

namespace refinement {
void init() { datatypes::register_default(TYPE_REFINEMENT); }
}  // namespace refinement

namespace issue {
void init() { datatypes::register_default(TYPE_ISSUE); }
}  // namespace issue

}  // namespace zel
