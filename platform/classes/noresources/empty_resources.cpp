// The resource table of a tree built without the resources folder: no embedded resources.
#include <cstddef>

#include "platform/classes/resources.h"

namespace tw::embedded {
extern const TEmbeddedResource kResources[];
extern const std::size_t kResourceCount;
const TEmbeddedResource kResources[1] = {{"", nullptr, 0}};
const std::size_t kResourceCount = 0;
}  // namespace tw::embedded
