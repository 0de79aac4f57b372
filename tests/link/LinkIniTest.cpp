#include "comm/LinkIni.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/Basics.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

class IniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vex_ini_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "vexsim.ini").string();
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0755);
    fs::remove_all(dir_);
  }
  std::string Text() const {
    std::ifstream f(path_);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }
  fs::path dir_;
  std::string path_;
};

TEST_F(IniFile, MissingFileReadsNothing) {
  TIniValues v;
  EXPECT_FALSE(ReadIniSection(path_, "Ports1", v));
  EXPECT_TRUE(v.empty());
}

TEST_F(IniFile, RoundTripKeepsOtherSectionsAndKeys) {
  std::ofstream(path_) << "[Other]\nKeep=yes\n\n[Ports1]\nExtra=1\nComboBox2=7\n";
  WriteIniSection(path_, "Ports1", {{"ComboBox2", "5"}, {"LabeledEdit1", "$EE"}, {"ComboBox1", ""}});
  TIniValues p, o;
  ASSERT_TRUE(ReadIniSection(path_, "Ports1", p));
  ASSERT_TRUE(ReadIniSection(path_, "Other", o));
  EXPECT_EQ(p["ComboBox2"], "5");
  EXPECT_EQ(p["LabeledEdit1"], "$EE");
  EXPECT_EQ(p.count("ComboBox1"), 1u);
  EXPECT_EQ(p["ComboBox1"], "");
  EXPECT_EQ(p["Extra"], "1");
  EXPECT_EQ(o["Keep"], "yes");
}

TEST_F(IniFile, WriteLeavesNoTemporaryFiles) {
  WriteIniSection(path_, "Ports1", {{"A", "1"}});
  WriteIniSection(path_, "Ports1", {{"A", "2"}});
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir_)) {
    (void)e;
    ++n;
  }
  EXPECT_EQ(n, 1u);
  EXPECT_NE(Text().find("A = 2"), std::string::npos) << Text();
}

TEST_F(IniFile, UnwritableFolderRaisesAndKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  WriteIniSection(path_, "Ports1", {{"A", "1"}});
  const std::string before = Text();
  ::chmod(dir_.c_str(), 0555);
  EXPECT_THROW(WriteIniSection(path_, "Ports1", {{"A", "2"}}), Exception);
  ::chmod(dir_.c_str(), 0755);
  EXPECT_EQ(Text(), before);
}

TEST_F(IniFile, MissingFolderRaisesWithThePath) {
  const std::string p = (dir_ / "gone" / "vexsim.ini").string();
  try {
    WriteIniSection(p, "Ports1", {{"A", "1"}});
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Unable to write settings file " + p), std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(fs::exists(dir_ / "gone"));
}

TEST_F(IniFile, PathIsNamedLikeTheExecutable) {
  const fs::path p = IniPathOf("vexsim");
  EXPECT_EQ(p.filename(), "vexsim.ini");
  EXPECT_EQ(p.parent_path().string(), ExeDir());
  EXPECT_EQ(fs::path(OwnIniPath()).filename(), "test_link.ini");
}

}  // namespace
}  // namespace vex
