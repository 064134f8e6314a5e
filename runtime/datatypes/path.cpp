// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace path {
void init() { datatypes::register_default(TYPE_PATH); }
}  // namespace path

namespace lit_path {
void init() { datatypes::register_default(TYPE_LIT_PATH); }
}  // namespace lit_path

namespace set_path {
void init() { datatypes::register_default(TYPE_SET_PATH); }
}  // namespace set_path

namespace get_path {
void init() { datatypes::register_default(TYPE_GET_PATH); }
}  // namespace get_path

}  // namespace zel
