#include "comm/Identify.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

struct ModelCase {
  uint16_t BotReg;
  const char* model;
  TEdition edition;
  const char* page;
};

TEST(Identify, ModelOfBootIdentifier) {
  const ModelCase cases[] = {
      {0x4316, "Vex216", TEdition::Vex216soft, "Vex216"},
      {0x6546, "Vex216v2-MX R4.B311.5Q10", TEdition::Aplic216, "Vex216v2"},
      {0x9146, "Vex216v2-DX R7.M426.5Q43", TEdition::Aplic216, "Vex216v2"},
      {0x0C46, "Vex216v2-MX <generic>", TEdition::Aplic216, "Vex216v2"},
      {0x6951, "Vex316-SX R5.N104.5Q43", TEdition::Vex316soft, "Vex316"},
      {0x6851, "Vex316-SX <generic>", TEdition::Vex316soft, "Vex316"},
      {0x6554, "Vex324-SX R3.E723.5K22", TEdition::Aplic324, "Vex324"},
      {0x8C54, "Vex324-DX R3 NO-INPUT", TEdition::Aplic324, "Vex324"},
      {0x0154, "Vex324 <unknown>", TEdition::Aplic324, "Vex324"},
      {0x1458, "Vex8-EX  R2.D411.886 EX-only", TEdition::Aplic308, "Vex308"},
      {0x6758, "Vex8-HF  R5.M519.5Q10 Hususi", TEdition::Aplic308, "Vex308"},
      {0x0158, "Vex8-SX <generic>", TEdition::Aplic308, "Vex308"},
      {0x0160, "Brix3000", TEdition::Rtu3soft, "Brix3"},
      {0x0263, "Vald33", TEdition::Vex733soft, "Vald3"},
      {0x036E, "Tord48", TEdition::Vex748soft, "Tord48"},
      // 9xx series: DX for 140..149, EX for 120..129, MX otherwise
      {0x9183, "Vex932-DX", TEdition::Vex9XXsoft, "Vex932"},
      {0x8C84, "Vex924-DX", TEdition::Vex9XXsoft, "Vex924"},
      {0x958A, "Vex936-DX", TEdition::Vex9XXsoft, "Vex936"},
      {0x968A, "Vex936-MX", TEdition::Vex9XXsoft, "Vex936"},
      {0x7D83, "Vex932-EX", TEdition::Vex9XXsoft, "Vex932"},
      {0x7884, "Vex924-EX", TEdition::Vex9XXsoft, "Vex924"},
      {0x7984, "Vex924-EX", TEdition::Vex9XXsoft, "Vex924"},
      {0x7784, "Vex924-MX", TEdition::Vex9XXsoft, "Vex924"},
      {0x6E83, "Vex932-MX", TEdition::Vex9XXsoft, "Vex932"},
      {0x1616, "", TEdition::None, "About"},
      {0x0000, "", TEdition::None, "About"},
      {0x4317, "", TEdition::None, "About"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.BotReg);
    const TModelInfo m = ModelOf(c.BotReg);
    EXPECT_EQ(m.model, c.model);
    EXPECT_EQ(m.edition, c.edition);
    EXPECT_EQ(m.page, c.page);
  }
}

struct BoardCase {
  TBoard board;
  int key;
  const char* text;
};

TEST(Identify, ModelTextByBootRevision) {
  const BoardCase cases[] = {
      {TBoard::Vex324, 101, "Vex324-SX R3.E723.5K22"},
      {TBoard::Vex324, 104, "Vex324-SX R6.E723.5K42"},
      {TBoard::Vex324, 120, "Vex324-EX R3 Brix3"},
      {TBoard::Vex324, 1, "Vex324 <unknown>"},
      {TBoard::Vex308, 40, "Vex8-DX  R2.D411.886 DX-only"},
      {TBoard::Vex308, 105, "Vex8-SX  R7.D411.6K40"},
      {TBoard::Vex308, 101, "Vex8-SX  R3.D411.5Q10"},
      {TBoard::Vex308, 140, "Vex8-SX <generic>"},
      {TBoard::Vex216, 1, "Vex216v2-MX R1234.B311.886"},
      {TBoard::Vex216, 20, "Vex216v2-EX"},
      {TBoard::Vex216, 142, "Vex216v2-DX R5.B311.5Q10"},
      {TBoard::Vex216, 103, "Vex216v2-MX-HF R5.M426.5Q10"},
      {TBoard::Vex216, 120, "Vex216v2-MX <generic>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(ModelText(c.board, static_cast<uint8_t>(c.key)), c.text);
  }
}

TEST(Identify, AplicTextByEdition) {
  const BoardCase cases[] = {
      // key is the whole AppReg here
      {TBoard::Vex324, 0x0000, " <empty>"},
      {TBoard::Vex308, 0x0000, "<empty>"},
      {TBoard::Vex216, 0x0000, " <empty>"},
      {TBoard::Vex324, 0x0312, "ISA Production <45K22>"},
      {TBoard::Vex324, 0x0A00, "ISA TransCfg+InvIO+Dimmer <45K42>"},
      {TBoard::Vex324, 0x2801, "DX Display Only, NO-INPUTS <45K22>"},
      {TBoard::Vex324, 0x0B00, "<unknown>"},
      {TBoard::Vex308, 0x0E05, "ISA SX InverseIO 5q43"},
      {TBoard::Vex308, 0x1000, "ISA SX InverseIO 6k40"},
      {TBoard::Vex308, 0x2A00, "DX Display <no INPUT> 5q10"},
      {TBoard::Vex308, 0x0C00, "<unknown>"},
      {TBoard::Vex216, 0x0F00, "ISA MX-ST <25q43>\""},
      {TBoard::Vex216, 0x2B00, "DX Display, NO-INPUT <25q43>"},
      {TBoard::Vex216, 0x0900, "ISA MX model <25q10>"},
      {TBoard::Vex216, 0x0B00, "<unknown>"},
      {TBoard::Vex216, 0x0001, "<unknown>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(AplicText(c.board, static_cast<uint16_t>(c.key)), c.text);
  }
}

struct SoftCase {
  std::string (*fn)(uint8_t);
  int sof;
  const char* text;
};

TEST(Identify, EditionTablesBySoftware) {
  const SoftCase cases[] = {
      {Vex316soft, 17, "ISA SX \"25q43\""},
      {Vex316soft, 16, "<unknown>"},
      {Vex9XXsoft, 1, "ISA prototype-1"},
      {Vex9XXsoft, 8, "ISA DX Mode Config"},
      {Vex9XXsoft, 20, "BRIX3 Compatible"},
      {Vex9XXsoft, 40, "DX Display <no INPUT>"},
      {Vex9XXsoft, 9, "<unknown>"},
      {Vex748soft, 2, "Prototype-2, BRIX3 compatible "},
      {Vex748soft, 6, "Precise Timer"},
      {Vex748soft, 7, "<unknown>"},
      {Vex733soft, 7, "Pulse Enabled"},
      {Vex733soft, 8, "Pulse Enabled"},
      {Vex733soft, 10, "Coil Functions"},
      {Vex733soft, 11, "<unknown>"},
      {Rtu3soft, 8, "Route Corrections"},
      {Rtu3soft, 11, "Route Corrections"},
      {Rtu3soft, 21, "BRIX3-E303 Mainboard w/o Backup"},
      {Rtu3soft, 33, "Irig-B +1 day differance corrected"},
      {Rtu3soft, 34, "2023 Renovations"},
      {Rtu3soft, 13, "<unknown>"},
      {Rtu3soft, 35, "<unknown>"},
      {Rtu3soft, 3, "<unknown>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sof);
    EXPECT_EQ(c.fn(static_cast<uint8_t>(c.sof)), c.text);
  }
  // the editions left open get a text of their own, never "<unknown>"
  for (int sof : {4, 5, 6, 7, 14, 18, 26, 27, 28, 29, 30, 31, 32}) {
    SCOPED_TRACE(sof);
    const std::string t = Rtu3soft(static_cast<uint8_t>(sof));
    EXPECT_FALSE(t.empty());
    EXPECT_NE(t, "<unknown>");
  }
}

TEST(Identify, Vex216softByWholeRegister) {
  const std::pair<uint16_t, const char*> cases[] = {
      {0x4001, "MX Prototype-1"},
      {0x4106, "MX VexPlay Compatible \"Reset Event Corrected\""},
      {0x4114, "SXv2 Scada Only"},
      {0x4004, "MX Prototype Unknown"},
      {0x4115, "Unexpected Application"},
      {0x4201, ""},
      {0x0000, ""},
  };
  for (const auto& [reg, text] : cases) {
    SCOPED_TRACE(reg);
    EXPECT_EQ(Vex216soft(reg), text);
  }
}

struct EditionCase {
  TEdition e;
  uint16_t AppReg;
  const char* text;
  bool crc;
};

TEST(Identify, EditionTextAndChecksumRule) {
  const EditionCase cases[] = {
      {TEdition::Aplic324, 0x0300, "ISA Production <45K22>", true},
      {TEdition::Aplic324, 0x0000, " <empty>", true},
      {TEdition::Aplic308, 0x0000, "<empty>", true},
      {TEdition::Vex316soft, 0x1100, "ISA SX \"25q43\"", true},
      {TEdition::Vex316soft, 0x1200, "<unknown>", false},
      {TEdition::Vex316soft, 0x0000, " <empty>", true},
      {TEdition::Vex9XXsoft, 0x0000, " <empty>", true},
      {TEdition::Vex9XXsoft, 0x0705, "ISA DX Mode Enabled", true},
      {TEdition::Vex733soft, 0x0900, "Irig-B Enabled", true},
      {TEdition::Vex748soft, 0x0500, "Sekans Mode", true},
      {TEdition::Rtu3soft, 0x0000, " <empty>", false},
      {TEdition::Rtu3soft, 0x2200, "2023 Renovations", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.AppReg);
    const TEditionText t = EditionText(c.e, c.AppReg);
    EXPECT_EQ(t.text, c.text);
    EXPECT_EQ(t.crc, c.crc);
  }
}

TEST(Identify, BootStates) {
  const struct {
    uint16_t reg;
    int sta;
    const char* text;
  } cases[] = {
      {0, 0, "Application Running"},
      {65535, -1, "Bootloader ready"},
      {65534, -2, "Application Crc Mismatch"},
      {65533, -3, "Invalid Command State"},
      {65532, -4, "Segment Range Failure"},
      {65531, -5, "Boot Programming Mode"},
      {65530, -6, "Erasure Mode"},
      {65524, -12, "Erasure Entry"},
      {65523, -13, "Restart Boot Test"},
      {65522, -14, "Slave Program Entry"},
      {65521, -15, "Reset Cpu"},
      {65529, -7, "Undefined Result"},
      {65001, -535, "Undefined Result"},
      {65000, 65000, "Undefined Result"},
      {1, 1, "Undefined Result"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reg);
    EXPECT_EQ(BootSign(c.reg), c.sta);
    EXPECT_EQ(BootText(BootSign(c.reg)), c.text);
  }
}

TEST(Identify, SegmentSize) {
  const struct {
    uint8_t rev, mod;
    int seg;
  } cases[] = {
      {110, 0x83, 64}, {145, 0x83, 64}, {100, 0x54, 64}, {199, 0x54, 64},  {99, 0x54, 32},
      {200, 0x54, 32}, {20, 0x58, 32},  {1, 0x60, 64},   {0x43, 0x16, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rev);
    EXPECT_EQ(SegSizOf(c.rev, c.mod), c.seg);
  }
}

TEST(Identify, SlaveIdText) {
  const std::pair<uint16_t, const char*> cases[] = {
      {0, "0"}, {31, "31"}, {32, "$20"}, {0xEE, "$EE"}, {0x1FF, "$1FF"}};
  for (const auto& [v, text] : cases) EXPECT_EQ(SlaveIdText(v), text);
}

TEST(Identify, VexModelFromBootIdLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"46.012, Model= Vex216v2, Boot= 012, Segment=32", "Vex216v2"},
      {"54.101, Model= Vex324-SX R3.E723.5K22, Boot= 101, Segment=64", "Vex324-SX R3.E723.5K22"},
      {"4316, Model=Vex216", "Vex216"},
      {"60.001, Model= Brix3000, Boot= 001, Segment=64", ""},
      {"", ""},
      {"xx Vex9", "Vex9"},
  };
  for (const auto& [line, model] : cases) EXPECT_EQ(VexModel(line), model) << line;
}

TEST(Identify, FileSlotText) {
  const uint16_t w[cFilRegs] = {0x0160, 1234, 0xBEEF, 3, 20, 0x00AB};
  const tFil f = FilFromWords(w);
  EXPECT_EQ(FileText(f), "Mdl=60.001, Siz=1234, Blk=20, Crc=BEEF, Cal=00AB, Sta=3");
  const tFil z{};
  EXPECT_EQ(FileText(z), "Mdl=00.000, Siz=0, Blk=0, Crc=0000, Cal=0000, Sta=0");
}

}  // namespace
}  // namespace vex
