#include "horoscope/chartglobals.h"

#include <exception>

#include "platform/classes/stringlist.h"

namespace tw::horoscope {

std::array<bool, MaxAspect + 1> AspectEnabled{};
TAspectOrbTable AspectOrbs{};
TStringList* MessageList = nullptr;
std::string LanguageCode = "ENG";

std::string GetMessageText(int nr) {
  if (MessageList == nullptr) return {};
  try {
    const int index = MessageList->IndexOfObject(static_cast<std::intptr_t>(nr));
    if (index < 0) return {};
    return MessageList->Strings(index);
  } catch (const std::exception&) {
    return {};
  }
}

std::string GetBodyName(int body) {
  if (body < 0 || body >= 20) return {};
  return GetMessageText(10 + body);
}

std::string GetSignName(int sign) {
  if (sign < 0 || sign > 11) return {};
  return GetMessageText(30 + sign);
}

std::string GetAspectName(int aspect) {
  if (aspect < 1 || aspect > MaxAspect) return {};
  return GetMessageText(80 + aspect);
}

void InitAspectSettings() {
  for (int k = 1; k <= 5; ++k) AspectEnabled[k] = true;
  static constexpr double kindOrb[MaxOrbKind + 1] = {0.0, 5.0, 2.0, 4.0, 4.0};
  for (int kind = 1; kind <= MaxOrbKind; ++kind)
    for (auto& body : AspectOrbs[kind])
      for (int aspect = 1; aspect <= AspectSlots; ++aspect) body[aspect] = kindOrb[kind];
}

}  // namespace tw::horoscope
