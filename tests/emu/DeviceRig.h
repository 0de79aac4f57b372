// A simulated device driven straight through its register map with chosen tick times.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "emu/Device.h"

namespace vex::emu {

struct DeviceRig {
  std::unique_ptr<Device> d;
  int64_t t = 0;

  explicit DeviceRig(const std::string& model, int edition = -1)
      : d(MakeDevice(ModelFor(model, -1, edition))) {
    d->SetBootWait(0);
    t = d->NowMs();
    d->Tick(t);
  }
  void Pass(int64_t ms) {  // in steps of 10 ms, as the device's timer runs
    const int64_t end = t + ms;
    while (t < end) {
      t = std::min(end, t + 10);
      d->Tick(t);
    }
  }
  std::vector<uint16_t> Read(uint16_t a, uint16_t n, int* ex = nullptr) {
    std::vector<uint16_t> v(n, 0);
    const int r = d->ReadRegs(Space::Holding, a, n, v.data());
    if (ex)
      *ex = r;
    else
      EXPECT_EQ(r, 0) << "read of " << a;
    return v;
  }
  uint16_t Reg(uint16_t a) { return Read(a, 1)[0]; }
  int Write(uint16_t a, const std::vector<uint16_t>& v) {
    return d->WriteRegs(Space::Holding, a, static_cast<uint16_t>(v.size()), v.data());
  }
  // 0, $1234 on register 15: the configuration registers take writes until the next command
  void Unlock() {
    EXPECT_EQ(Write(15, {0}), 0);
    EXPECT_EQ(Write(15, {0x1234}), 0);
  }
};

}  // namespace vex::emu
