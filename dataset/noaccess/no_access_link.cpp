// Builds without the access layer have no program link; tests install their own.
#include "dataset/dbilink.h"

namespace tw {
std::shared_ptr<TDbiLink> MakeAccessLayerLink() { return nullptr; }
}  // namespace tw
