// Registration of every datatype in its fixed order.
#pragma once

namespace zel::datatypes {

// Registers datatype! to image! (event! is registered by the entry code).
void register_all();

}  // namespace zel::datatypes
