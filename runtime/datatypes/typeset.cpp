// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace typeset {
void init() { datatypes::register_default(TYPE_TYPESET); }
}  // namespace typeset

}  // namespace zel
