// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace none {
void init() { datatypes::register_default(TYPE_NONE); }
}  // namespace none

}  // namespace zel
