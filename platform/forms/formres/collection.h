// Collections live with the class library's persistent classes; this header stays for the code
// that includes it from here.
#pragma once

#include "platform/classes/collection.h"
