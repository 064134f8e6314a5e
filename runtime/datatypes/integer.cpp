// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace integer {
void init() { datatypes::register_default(TYPE_INTEGER); }
}  // namespace integer

}  // namespace zel
