// The per-class tables of message handlers.
#include "platform/forms/messages.h"

#include <unordered_map>

namespace tw {

namespace {

using HandlerTable = std::unordered_map<UINT, TMessageHandler>;

std::unordered_map<const TClassInfo*, HandlerTable>& Tables() {
  static std::unordered_map<const TClassInfo*, HandlerTable> tables;
  return tables;
}

}  // namespace

bool RegisterMessageHandlers(const TClassInfo* cls, std::initializer_list<TMessageEntry> entries) {
  HandlerTable& table = Tables()[cls];
  for (const TMessageEntry& e : entries) table[e.Msg] = e.Handler;
  return true;
}

TMessageHandler FindMessageHandler(const TClassInfo* cls, UINT msg) {
  const auto& tables = Tables();
  for (const TClassInfo* c = cls; c != nullptr; c = c->Parent) {
    auto t = tables.find(c);
    if (t == tables.end()) continue;
    auto h = t->second.find(msg);
    if (h != t->second.end()) return h->second;
  }
  return nullptr;
}

bool HasOwnMessageHandler(const TClassInfo* cls, UINT msg) {
  const auto& tables = Tables();
  auto t = tables.find(cls);
  return t != tables.end() && t->second.count(msg) != 0;
}

}  // namespace tw
