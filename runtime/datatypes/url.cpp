// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace url {
void init() { datatypes::register_default(TYPE_URL); }
}  // namespace url

}  // namespace zel
