// Configuration image files: history and current sections, atomic whole-file writes.
#include "config/EepFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vex {
namespace {

namespace fs = std::filesystem;

class EepFileTest : public ::testing::Test {
 protected:
  fs::path dir;
  TIsaMaps1 isa;
  TEdit det{"Detection <3~250mS>:"}, clr{"Clearance <3~250ms>:"};
  TDateTime clock = EncodeDateTime(2024, 2, 29, 12, 34, 56);

  void SetUp() override {
    dir = fs::temp_directory_path() / ("eepfile-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    SetupForModel(isa, TVexModel::Vex324, 8, &det, &clr);
  }
  void TearDown() override { fs::remove_all(dir); }

  TEepFile File(const std::string& form) {
    return TEepFile(form, [this] { return clock; });
  }
  static std::string Read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static std::vector<std::string> Sections(const fs::path& p) {
    CSimpleIniA doc;
    EXPECT_GE(doc.LoadFile(p.string().c_str()), 0);
    CSimpleIniA::TNamesDepend names;
    doc.GetAllSections(names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> r;
    for (const auto& n : names) r.push_back(n.pItem);
    return r;
  }
  static TEepKeys Fields(const std::string& modbusId) {
    return {{"LabeledEdit1", "00042"},
            {"LabeledEdit2", "2024/01/05"},
            {"LabeledEdit10", modbusId},
            {"LabeledEdit11", "5"},
            {"LabeledEdit12", "20"}};
  }
  const std::vector<std::string> loadKeys = {"LabeledEdit10", "LabeledEdit11", "LabeledEdit12"};
  const TEepHeader header{"Vex324 App 54.008", "Vex324 Boot 54.002", "vexcli test"};
};

TEST_F(EepFileTest, TwoSavesLeaveTwoHistorySectionsAndOneCurrent) {
  const fs::path file = dir / "SN00042.eep";
  TEepFile f = File("Vex324cfg1");
  isa.DefaultT();
  f.SaveConfig(file.string(), header, Fields("7"), &isa);
  clock = EncodeDateTime(2024, 3, 1, 8, 0, 5);
  isa.SelectChannels({2});
  isa.ListChange(isAlm, ipColor, lcGreen);
  f.SaveConfig(file.string(), header, Fields("9"), &isa);

  EXPECT_EQ(Sections(file), (std::vector<std::string>{"Vex324cfg1.20240229123456",
                                                      "Vex324cfg1.20240301080005", "Vex324cfg1"}));
  CSimpleIniA doc;
  ASSERT_GE(doc.LoadFile(file.string().c_str()), 0);
  EXPECT_STREQ(doc.GetValue("Vex324cfg1.20240229123456", "LabeledEdit10", ""), "7");
  EXPECT_STREQ(doc.GetValue("Vex324cfg1.20240301080005", "LabeledEdit10", ""), "9");
  EXPECT_STREQ(doc.GetValue("Vex324cfg1", "SaveDateTime", ""), "2024-03-01 08:00:05");
  EXPECT_STREQ(doc.GetValue("Vex324cfg1", "ModelID", ""), "Vex324 App 54.008");
  EXPECT_STREQ(doc.GetValue("Vex324cfg1", "AlmGrn", ""), "$000002");

  // keys in the order written: header, fields, sequence keys
  CSimpleIniA::TNamesDepend keys;
  doc.GetAllKeys("Vex324cfg1", keys);
  keys.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> order;
  for (const auto& k : keys) order.push_back(k.pItem);
  ASSERT_GE(order.size(), 10u);
  const std::vector<std::string> head = {"SaveDateTime",  "ModelID",      "BootID",        "Program",
                                         "LabeledEdit1",  "LabeledEdit2", "LabeledEdit10", "LabeledEdit11",
                                         "LabeledEdit12", "AlmRed"};
  EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 10), head);

  isa.Clear();
  const auto values = f.LoadConfig(file.string(), loadKeys, &isa);
  EXPECT_EQ(values, (std::vector<std::string>{"9", "5", "20"}));
  EXPECT_EQ(isa.Eep.AlmGrn, 2u);
  EXPECT_EQ(isa.Eep.AlmRed, 0xFFFFFFFFFFFDull);
  EXPECT_EQ(isa.ChnLines[1].substr(0, 12), "02 = R-10 = ");
  EXPECT_TRUE(fs::exists(file));
  for (const auto& e : fs::directory_iterator(dir))
    EXPECT_EQ(e.path().filename(), "SN00042.eep");  // no temp left
}

TEST_F(EepFileTest, OtherSectionsSurviveASave) {
  const fs::path file = dir / "model.eem";
  {
    std::ofstream f(file);
    f << "[Notes]\nauthor=bench 3\n\n[Vex324cfg1]\nLabeledEdit10=3\nStale=1\n";
  }
  TEepFile f = File("Vex324cfg1");
  isa.DefaultA();
  f.SaveConfig(file.string(), header, Fields("4"), &isa);
  CSimpleIniA doc;
  ASSERT_GE(doc.LoadFile(file.string().c_str()), 0);
  EXPECT_STREQ(doc.GetValue("Notes", "author", ""), "bench 3");
  EXPECT_STREQ(doc.GetValue("Vex324cfg1", "LabeledEdit10", ""), "4");
  EXPECT_EQ(doc.GetValue("Vex324cfg1", "Stale", nullptr), nullptr);  // the current section is replaced
}

TEST_F(EepFileTest, AnotherModelsFileLoadsNothingAndRaisesNothing) {
  const fs::path file = dir / "vex936.eem";
  TIsaMaps1 other;
  SetupForModel(other, TVexModel::Vex936, 0, nullptr, nullptr);
  other.DefaultT();
  File("Vex936cfg1").SaveConfig(file.string(), header, Fields("5"), &other);

  isa.DefaultA();
  std::vector<std::string> values;
  ASSERT_NO_THROW(values = File("Vex324cfg1").LoadConfig(file.string(), loadKeys, &isa));
  EXPECT_EQ(values, (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(isa.Eep.AlmRed, 0u);
  EXPECT_EQ(isa.Eep.AckRo1, 0u);
  EXPECT_EQ(isa.Eep.TstBtn, 7);
  EXPECT_EQ(isa.ChnLines[0], "01 ---");
}

TEST_F(EepFileTest, MissingFileIsNamed) {
  const std::string file = (dir / "SN00001.eep").string();
  try {
    File("Vex324cfg1").LoadConfig(file, loadKeys, &isa);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Model File not Found, " + file);
  }
  EXPECT_THROW(File("Vex324cfg1").LoadConfig(dir.string(), loadKeys, &isa), Exception);
}

TEST_F(EepFileTest, RefusedConfiguratorLeavesTheFileAsItWas) {
  const fs::path file = dir / "SN00042.eep";
  TEepFile f = File("Vex324cfg1");
  isa.DefaultT();
  f.SaveConfig(file.string(), header, Fields("7"), &isa);
  const std::string before = Read(file);
  isa.EditChange(edAlmTim, "999");
  clock = EncodeDateTime(2024, 3, 2);
  EXPECT_THROW(f.SaveConfig(file.string(), header, Fields("8"), &isa), Exception);
  EXPECT_EQ(Read(file), before);
  EXPECT_THROW(f.SaveConfig2(file.string(), "", header, Fields("8"), &isa), Exception);
  EXPECT_EQ(Read(file), before);
}

TEST_F(EepFileTest, ModelsWithoutSequencesWriteOnlyTheirFields) {
  const fs::path file = dir / "vald.eem";
  TEepFile f = File("Vex733cfg1");
  TEepKeys fields = Fields("3");
  fields.push_back({"LabeledEdit20", "500"});
  f.SaveConfig2(file.string(), "", header, fields, nullptr);
  CSimpleIniA doc;
  ASSERT_GE(doc.LoadFile(file.string().c_str()), 0);
  EXPECT_EQ(doc.GetValue("Vex733cfg1", "AlmRed", nullptr), nullptr);
  const auto values =
      f.LoadConfig(file.string(), {"LabeledEdit10", "LabeledEdit20", "LabeledEdit21"}, nullptr);
  EXPECT_EQ(values, (std::vector<std::string>{"3", "500", ""}));
  EXPECT_EQ(Sections(file), std::vector<std::string>{"Vex733cfg1"});
}

TEST_F(EepFileTest, LineBreaksInATextStayInItsValue) {
  struct Case {
    std::string typed, loaded;
  } cases[] = {{"5\n[Vex324cfg1]\nAlmRed=$1", "5 [Vex324cfg1] AlmRed=$1"},
               {"7\r\nLabeledEdit11=99", "7  LabeledEdit11=99"},
               {"12", "12"}};
  const fs::path file = dir / "typed.eem";
  TEepFile f = File("Vex324cfg1");
  isa.DefaultT();
  for (const Case& c : cases) {
    fs::remove(file);
    TEepHeader h = header;
    h.BootID = "Boot\n[Vex936cfg1]";
    f.SaveConfig(file.string(), h, Fields(c.typed), &isa);
    EXPECT_EQ(Sections(file), (std::vector<std::string>{"Vex324cfg1.20240229123456", "Vex324cfg1"}))
        << c.loaded;
    isa.Clear();
    const auto values = f.LoadConfig(file.string(), loadKeys, &isa);
    EXPECT_EQ(values, (std::vector<std::string>{c.loaded, "5", "20"}));
    EXPECT_EQ(isa.Eep.AlmRed, 0xFFFFFFFFFFFFull) << c.loaded;
  }
}

// A file the reader cannot take whole is refused by loading and saving alike and stays as it
// was: a save would otherwise drop what the reader skipped.
TEST_F(EepFileTest, UnreadableFileIsRefusedAndLeftAlone) {
  const struct {
    const char* name;
    std::string text;
    const char* why;
  } cases[] = {
      {"NulByte", std::string("[Vex324cfg1]\nLabeledEdit10=3\n[Notes]\nx=1\0y\n[Later]\nz=2\n", 55),
       "line 4 holds a NUL byte"},
      {"Latin1", "[Notes]\nauthor=Jos\xE9\n[Vex324cfg1]\nLabeledEdit10=3\n", "line 2 is not UTF-8 text"},
      {"Garbage", "[Vex324cfg1]\nLabeledEdit10=3\njust words\n",
       "line 3 is neither a [section] nor a key=value line"},
      {"LoneReturn", "[Notes]\na=1\rb=2\n", "line 2 holds a lone carriage return"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir / (std::string(c.name) + ".eep");
    {
      std::ofstream f(file, std::ios::binary);
      f << c.text;
    }
    TEepFile f = File("Vex324cfg1");
    isa.DefaultT();
    for (int op = 0; op < 3; ++op) {
      try {
        if (op == 0) f.SaveConfig(file.string(), header, Fields("4"), &isa);
        if (op == 1) f.SaveConfig2(file.string(), "", header, Fields("4"), &isa);
        if (op == 2) f.LoadConfig(file.string(), loadKeys, &isa);
        ADD_FAILURE() << "operation " << op << " took the file";
      } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot read " + file.string() + ": " + c.why + "; the file is left unchanged");
      }
      EXPECT_EQ(Read(file), c.text);
    }
  }
}

// What a save does not write is carried through as it was, byte for byte: other sections with
// their comments, duplicate keys and CRLF line ends. The saved sections take the file's line
// ends, and an old current section in other letter case is replaced, not kept beside the new one.
TEST_F(EepFileTest, ForeignTextIsCarriedByteForByte) {
  const std::string head =
      "; site notes\r\n[Notes]\r\nauthor = bench 3\r\nauthor=second\r\n# keep me\r\n\r\n";
  const std::string tail = "; about the panel\r\n[Panel]\r\nx=1\r\nx=2\r\n";
  const std::string own = "[vex324CFG1]\r\nLabeledEdit10=3\r\nStale=1\r\n";
  const fs::path file = dir / "site.eep";
  {
    std::ofstream f(file, std::ios::binary);
    f << head << own << tail;
  }
  TEepFile f = File("Vex324cfg1");
  isa.DefaultA();
  f.SaveConfig(file.string(), header, Fields("4"), &isa);
  const std::string text = Read(file);
  EXPECT_EQ(text.substr(0, head.size() + tail.size()), head + tail);
  EXPECT_EQ(text.find("Stale"), std::string::npos);
  EXPECT_EQ(text.find("vex324CFG1"), std::string::npos);
  const std::string rest = text.substr(head.size() + tail.size());
  EXPECT_EQ(rest.rfind("\r\n[Vex324cfg1.20240229123456]\r\nSaveDateTime=2024-02-29 12:34:56\r\n", 0), 0u)
      << rest;
  size_t lf = 0, crlf = 0;
  for (size_t i = 0; i < rest.size(); ++i)
    if (rest[i] == '\n') ++lf, crlf += i > 0 && rest[i - 1] == '\r';
  EXPECT_EQ(lf, crlf) << "every saved line ends in CRLF";
  EXPECT_EQ(Sections(file),
            (std::vector<std::string>{"Notes", "Panel", "Vex324cfg1.20240229123456", "Vex324cfg1"}));
  // a second save keeps the foreign text again and replaces only the current section
  clock = EncodeDateTime(2024, 3, 1);
  f.SaveConfig(file.string(), header, Fields("5"), &isa);
  const std::string again = Read(file);
  EXPECT_EQ(again.substr(0, head.size() + tail.size()), head + tail);
  const auto values = f.LoadConfig(file.string(), loadKeys, &isa);
  EXPECT_EQ(values[0], "5");
  EXPECT_EQ(Sections(file).size(), 5u);
}

TEST_F(EepFileTest, UnwritableFolderIsReported) {
  EXPECT_THROW(WriteFileAtomic((dir / "no-such-folder" / "x.eep").string(), "x"), Exception);
}

}  // namespace
}  // namespace vex
