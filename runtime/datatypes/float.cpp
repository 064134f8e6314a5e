// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace float_ {
void init() { datatypes::register_default(TYPE_FLOAT); }
}  // namespace float_

}  // namespace zel
