// Fixture of the data-set tests: an in-memory link in place of the access layer, and the two
// tables the program reads.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dataset/dberrors.h"
#include "dataset/session.h"
#include "dataset/table.h"
#include "dataset/tests/newtable.h"
#include "dataset/tests/fakelink.h"

namespace tw::test {

class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Link = std::make_shared<TFakeLink>();
    SetDbiLink(Link);
  }
  void TearDown() override {
    for (TTable* t : Made) delete t;
    Session().Close();
    Session().OnLogin = nullptr;
    for (const std::string& a : Session().GetAliasNames()) Session().DeleteAlias(a);
    SetDbiLink(nullptr);
  }
  TTable* NewTable(const std::string& name) { return NewTableIn(Made, name); }
  // Messages.QND: Lang, Nr, Text, keyed by XPKMsgs (Lang;Nr).
  TTable* MakeMessages() {
    TTable* t = NewTable("Messages.QND");
    t->FieldDefs().Add("Lang", TFieldType::ftString, 3, true);
    t->FieldDefs().Add("Nr", TFieldType::ftSmallint, 0, true);
    t->FieldDefs().Add("Text", TFieldType::ftMemo);
    t->IndexDefs().Add("XPKMsgs", "Lang;Nr", true, true);
    t->CreateTable();
    t->SetIndexName("XPKMsgs");
    t->Open();
    return t;
  }
  void AddMessage(TTable* t, const std::string& lang, int nr, const std::string& text) {
    t->Append();
    t->FieldByName("Lang")->SetAsString(lang);
    t->FieldByName("Nr")->SetAsInteger(nr);
    t->FieldByName("Text")->SetAsString(text);
    t->Post();
  }
  std::shared_ptr<TFakeLink> Link;
  std::vector<TTable*> Made;
};

}  // namespace tw::test
