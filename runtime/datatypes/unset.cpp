// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace unset {
void init() { datatypes::register_default(TYPE_UNSET); }
}  // namespace unset

}  // namespace zel
