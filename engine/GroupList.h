// The group list of a server context accepted in local mode, from the account store. A failing
// store call, or names that do not convert one unit to one byte, leave the context without one.
#pragma once

#include <string_view>

#include "engine/ContextRecord.h"

namespace Ntlm {

void LoadLocalGroupList(ContextRecord& context, std::u16string_view user);

} // namespace Ntlm
