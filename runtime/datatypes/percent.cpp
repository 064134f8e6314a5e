// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace percent {
void init() { datatypes::register_default(TYPE_PERCENT); }
}  // namespace percent

}  // namespace zel
