// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace string {
void init() { datatypes::register_default(TYPE_STRING); }
}  // namespace string

}  // namespace zel
