// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace time {
void init() { datatypes::register_default(TYPE_TIME); }
}  // namespace time

}  // namespace zel
