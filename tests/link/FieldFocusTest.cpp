// A value refused by a range check moves the focus to the field it came from: the hub's fields
// are hooked by the window (here a recording hook), and each reading names its own field.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "comm/Ports.h"

namespace vex {
namespace {

struct FocusCase {
  const char* name;
  std::function<void(TPorts1&)> setUp;  // puts the refused value in place
  std::function<void(TPorts1&)> act;    // the click that reads it
  std::function<std::string*(TPorts1&)> field;
  const char* message;  // the refusal, as the operator reads it
};

void PrintTo(const FocusCase& c, std::ostream* os) { *os << c.name; }

class FieldFocusTest : public ::testing::TestWithParam<FocusCase> {
 protected:
  void SetUp() override {
    p_.IniPath = "";
    p_.IsBusy = [] { return false; };  // the manual requests read their fields at once
    for (std::string* f : Fields()) {
      p_.FieldFocus.Set(f, {[this, f] { return hidden_ != f; }, [this, f] { focused_.push_back(f); }});
    }
  }
  std::vector<std::string*> Fields() {
    std::vector<std::string*> v = {&p_.LabeledEdit1,  &p_.LabeledEdit10, &p_.LabeledEdit11, &p_.LabeledEdit20,
                                   &p_.LabeledEdit21, &p_.LabeledEdit30, &p_.LabeledEdit31, &p_.LabeledEdit32,
                                   &p_.LabeledEdit33, &p_.LabeledEdit34, &p_.Register05};
    for (int g = 0; g < kTestGroups; ++g) {
      v.push_back(&p_.Group(static_cast<TTestGroup>(g)).First);
      v.push_back(&p_.Group(static_cast<TTestGroup>(g)).Second);
    }
    return v;
  }
  std::string Refusal() {
    try {
      GetParam().act(p_);
    } catch (const Exception& e) {
      return e.what();
    }
    return "";
  }
  TPorts1 p_;
  const std::string* hidden_ = nullptr;
  std::vector<const std::string*> focused_;
};

void Serial(TPorts1& p) {
  p.ActivePage = lpComm;
  p.ComboBox1 = "/dev/null-port";
}
void Network(TPorts1& p) {
  p.ActivePage = lpNetwork;
  p.LabeledEdit30 = "127.0.0.1";
}
void Connect(TPorts1& p) { p.SetConnectPort(true); }

TEST_P(FieldFocusTest, RefusedFieldTakesTheFocus) {
  GetParam().setUp(p_);
  EXPECT_EQ(Refusal(), GetParam().message);
  ASSERT_EQ(focused_.size(), 1u);
  EXPECT_EQ(focused_[0], GetParam().field(p_));
  EXPECT_FALSE(p_.ConnectPortChecked());
}

TEST_P(FieldFocusTest, FieldThatCannotTakeTheFocusKeepsItWhereItWas) {
  GetParam().setUp(p_);
  hidden_ = GetParam().field(p_);
  EXPECT_EQ(Refusal(), GetParam().message);
  EXPECT_TRUE(focused_.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldFocusTest,
    ::testing::Values(
        FocusCase{"SerialNode",
                  [](TPorts1& p) {
                    Serial(p);
                    p.LabeledEdit1 = "256";
                  },
                  Connect, [](TPorts1& p) { return &p.LabeledEdit1; },
                  "Error /dev/null-port : Node ID: Range Check, Valid Range:  [0 ~ 255]."},
        FocusCase{"SerialTimeoutOfTheLowRates",
                  [](TPorts1& p) {
                    Serial(p);
                    p.LabeledEdit10 = "99";
                  },
                  Connect, [](TPorts1& p) { return &p.LabeledEdit10; },
                  "Error /dev/null-port : Timeout (ms): Range Check, Valid Range:  [1 ~ 50]."},
        FocusCase{"SerialBlindOfTheHighRates",
                  [](TPorts1& p) {
                    Serial(p);
                    p.ComboBox2Change(6);
                    p.LabeledEdit11 = "999";  // the other pair is not read
                    p.LabeledEdit21 = "abc";
                  },
                  Connect, [](TPorts1& p) { return &p.LabeledEdit21; },
                  "Error /dev/null-port : Blind (ms): 'abc' is not a valid integer value, Valid Range:  [1 ~ "
                  "500]."},
        FocusCase{"TargetIp",
                  [](TPorts1& p) {
                    Network(p);
                    p.LabeledEdit30 = "10.0.0";
                  },
                  Connect, [](TPorts1& p) { return &p.LabeledEdit30; },
                  "Target IP: '10.0.0' is not a valid IP address"},
        FocusCase{"TargetPort",
                  [](TPorts1& p) {
                    Network(p);
                    p.LabeledEdit31 = "0";
                  },
                  Connect, [](TPorts1& p) { return &p.LabeledEdit31; },
                  "Target Port: Range Check, Valid Range:  [1 ~ 65535]."},
        FocusCase{"NetworkBlind",
                  [](TPorts1& p) {
                    Network(p);
                    p.LabeledEdit34 = "5001";
                  },
                  Connect, [](TPorts1& p) { return &p.LabeledEdit34; },
                  "Blind (ms): Range Check, Valid Range:  [1 ~ 5000]."},
        FocusCase{"QuantityOfRegisters",
                  [](TPorts1& p) {
                    p.Group(TTestGroup::Registers).First = "0";
                    p.Group(TTestGroup::Registers).Second = "124";
                  },
                  [](TPorts1& p) { p.SendQuery03(); },
                  [](TPorts1& p) { return &p.Group(TTestGroup::Registers).Second; },
                  "Quantity of Registers: Range Check, Valid Range:  [0 ~ 123]."},
        FocusCase{"QuantityOfInputs",
                  [](TPorts1& p) {
                    p.Group(TTestGroup::Coils).First = "0";
                    p.Group(TTestGroup::Coils).Second = "0";
                  },
                  [](TPorts1& p) { p.SendQuery02(); },
                  [](TPorts1& p) { return &p.Group(TTestGroup::Coils).Second; },
                  "Quantity of Inputs: Range Check, Valid Range:  [1 ~ 512]."},
        FocusCase{"OutputAddress", [](TPorts1& p) { p.Group(TTestGroup::WriteCoil).First = "65536"; },
                  [](TPorts1& p) { p.SendQuery05(); },
                  [](TPorts1& p) { return &p.Group(TTestGroup::WriteCoil).First; },
                  "Output Address: Range Check, Valid Range:  [0 ~ 65535]."},
        FocusCase{"RegisterValue",
                  [](TPorts1& p) {
                    p.Group(TTestGroup::WriteReg).First = "1";
                    p.Group(TTestGroup::WriteReg).Second = "-1";
                  },
                  [](TPorts1& p) { p.SendQuery06(); },
                  [](TPorts1& p) { return &p.Group(TTestGroup::WriteReg).Second; },
                  "Register Value: Range Check, Valid Range:  [0 ~ 65535]."},
        FocusCase{"RequestedValue", [](TPorts1& p) { p.Group(TTestGroup::Echo).First = ""; },
                  [](TPorts1& p) { p.SendQuery08(); },
                  [](TPorts1& p) { return &p.Group(TTestGroup::Echo).First; },
                  "Requested Value: '' is not a valid integer value, Valid Range:  [0 ~ 65535]."},
        FocusCase{"BitGroupRegister", [](TPorts1& p) { p.Register05 = "4096"; },
                  [](TPorts1& p) { p.Button05Click(3); }, [](TPorts1& p) { return &p.Register05; },
                  "Register: Range Check, Valid Range:  [0 ~ 4095]."}),
    [](const auto& i) { return std::string(i.param.name); });

// Without a window (the command line) no field has a hook: the refusal is the same.
TEST(FieldFocus, NoWindowNoFocus) {
  TPorts1 p;
  p.IniPath = "";
  p.ComboBox1 = "/dev/null-port";
  p.LabeledEdit1 = "300";
  EXPECT_FALSE(TextField(p.LabeledEdit1, "Node ID:", &p.FieldFocus).CanFocus());
  EXPECT_THROW(p.SetConnectPort(true), Exception);
}

}  // namespace
}  // namespace vex
