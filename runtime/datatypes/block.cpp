// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace block {
void init() { datatypes::register_default(TYPE_BLOCK); }
}  // namespace block

}  // namespace zel
