// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace series {
void init() { datatypes::register_default(TYPE_SERIES); }
}  // namespace series

}  // namespace zel
