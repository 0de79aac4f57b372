#include "comm/PortList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace vex {
namespace {

namespace fs = std::filesystem;

// A scratch /dev and /sys tree laid out like the kernel's and udev's.
class PortTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("vex_ports_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "dev");
    fs::create_directories(root_ / "sys" / "class" / "tty");
    roots_.dev = (root_ / "dev").string();
    roots_.sys = (root_ / "sys").string();
  }
  void TearDown() override { fs::remove_all(root_); }

  void Node(const std::string& name) { std::ofstream(root_ / "dev" / name) << ""; }

  // A tty whose sysfs device sits below `bus` (e.g. "pci0000:00/usb1/1-1/1-1:1.0" or "platform/serial8250").
  void Tty(const std::string& name, const std::string& bus, bool withNode = true) {
    const fs::path dev = root_ / "sys" / "devices" / bus / name;
    fs::create_directories(dev);
    fs::create_directories(root_ / "sys" / "class" / "tty" / name);
    fs::create_symlink(dev, root_ / "sys" / "class" / "tty" / name / "device");
    if (withNode) Node(name);
  }
  void VirtualTty(const std::string& name) {
    fs::create_directories(root_ / "sys" / "class" / "tty" / name);
    Node(name);
  }
  void ById(const std::string& link, const std::string& target) {
    fs::create_directories(root_ / "dev" / "serial" / "by-id");
    fs::create_symlink("../../" + target, root_ / "dev" / "serial" / "by-id" / link);
  }
  std::string Dev(const std::string& n) const { return (root_ / "dev" / n).string(); }

  fs::path root_;
  TPortRoots roots_;
};

TEST_F(PortTree, ListsOnlyUsbAttachedPortsInNaturalOrder) {
  Tty("ttyUSB10", "pci0000:00/usb1/1-2/1-2:1.0");
  Tty("ttyUSB2", "pci0000:00/usb1/1-1/1-1:1.0");
  Tty("ttyACM0", "pci0000:00/usb2/2-1/2-1:1.0");
  Tty("ttyS0", "platform/serial8250");
  Tty("ttyS1", "pnp0/00:05");
  VirtualTty("tty1");
  const std::vector<std::string> want = {Dev("ttyACM0"), Dev("ttyUSB2"), Dev("ttyUSB10")};
  EXPECT_EQ(ListUsbSerialPorts(roots_), want);
}

TEST_F(PortTree, SkipsPortsWithoutDeviceNode) {
  Tty("ttyUSB0", "pci0000:00/usb1/1-1/1-1:1.0", false);
  Tty("ttyUSB1", "pci0000:00/usb1/1-2/1-2:1.0");
  EXPECT_EQ(ListUsbSerialPorts(roots_), std::vector<std::string>{Dev("ttyUSB1")});
}

TEST_F(PortTree, ByIdLinksCountOnlyForUsbWhenSysfsTells) {
  Tty("ttyS4", "pci0000:00/0000:00:16.3");
  ById("pci-Intel_AMT_SOL-if00", "ttyS4");
  Node("ttyUSB3");
  ById("usb-FTDI_FT232R_USB_UART_A123-if00-port0", "ttyUSB3");
  EXPECT_EQ(ListUsbSerialPorts(roots_), std::vector<std::string>{Dev("ttyUSB3")});
}

TEST_F(PortTree, WithoutSysfsEveryByIdLinkCounts) {
  fs::remove_all(root_ / "sys");
  Node("ttyUSB0");
  Node("ttyS4");
  ById("usb-Prolific_PL2303-if00-port0", "ttyUSB0");
  ById("pci-Intel_AMT_SOL-if00", "ttyS4");
  const std::vector<std::string> want = {Dev("ttyS4"), Dev("ttyUSB0")};
  EXPECT_EQ(ListUsbSerialPorts(roots_), want);
}

TEST_F(PortTree, NoAdapterGivesEmptyListAndSixteenFallbackPorts) {
  Tty("ttyS0", "platform/serial8250");
  EXPECT_TRUE(ListUsbSerialPorts(roots_).empty());
  const auto fb = FallbackPorts(roots_);
  ASSERT_EQ(fb.size(), 16u);
  EXPECT_EQ(fb.front(), Dev("ttyS0"));
  EXPECT_EQ(fb.back(), Dev("ttyS15"));
}

TEST_F(PortTree, MissingRootsGiveEmptyList) {
  TPortRoots none{(root_ / "nodev").string(), (root_ / "nosys").string()};
  EXPECT_TRUE(ListUsbSerialPorts(none).empty());
}

}  // namespace
}  // namespace vex
