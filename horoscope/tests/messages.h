// Installs a message list for the duration of a test and removes it after.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "horoscope/chartglobals.h"
#include "platform/classes/stringlist.h"

namespace tw::horoscope::testing {

class ScopedMessages {
 public:
  explicit ScopedMessages(const std::vector<std::pair<int, std::string>>& texts) : list_(new TStringList) {
    for (const auto& [nr, text] : texts) list_->AddObject(text, static_cast<std::intptr_t>(nr));
    previous_ = MessageList;
    MessageList = list_.get();
  }
  ~ScopedMessages() { MessageList = previous_; }
  ScopedMessages(const ScopedMessages&) = delete;
  ScopedMessages& operator=(const ScopedMessages&) = delete;
  TStringList& List() { return *list_; }

 private:
  std::unique_ptr<TStringList> list_;
  TStringList* previous_ = nullptr;
};

}  // namespace tw::horoscope::testing
