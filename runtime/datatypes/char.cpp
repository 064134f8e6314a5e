// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace char_ {
void init() { datatypes::register_default(TYPE_CHAR); }
}  // namespace char_

}  // namespace zel
