// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace context {
void init() { datatypes::register_default(TYPE_CONTEXT); }
}  // namespace context

}  // namespace zel
