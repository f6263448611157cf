// How the storage engine fails: the engine's server exception carrying an engine error code
// whose text is a format pattern of the engine's string tables, filled with Args.
#pragma once

#include <initializer_list>

#include "platform/rtl/sysutils.h"

namespace tw::dbengine {

// Raises EqnServerException with Code; the text comes from GENERAL_STRINGS for the dictionary
// and operating-system codes and from SERVER_STRINGS for the others.
[[noreturn]] void QNStorageError(int Code, std::initializer_list<TVarRec> Args = {});

}  // namespace tw::dbengine
