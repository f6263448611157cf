#include "dbengine/storage/storage_errors.h"

#include "dbengine/base/errors.h"
#include "dbengine/base/stringres.h"

namespace tw::dbengine {

void QNStorageError(int Code, std::initializer_list<TVarRec> Args) {
  const bool general = (Code >= 23568 && Code <= 23570) || (Code >= 23632 && Code <= 23679) || Code >= 23776;
  QNRaiseErrorFmt<EqnServerException>(general ? qnGeneralStrings() : qnServerStrings(), Code, Args);
}

}  // namespace tw::dbengine
