// Fixture of the standard-control tests: the classes registered, a 300 x 200 form, and a
// helper that puts a new control of a class on it.
#pragma once

#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/tests/forms_test_util.h"

namespace tw::test {

class StdControlsTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    RegisterStdControls();
    form = NewForm(300, 200);
  }
  template <typename T>
  T* Add(int left, int top) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetLeft(left);
    c->SetTop(top);
    return c;
  }
  TForm* form = nullptr;
};

}  // namespace tw::test
