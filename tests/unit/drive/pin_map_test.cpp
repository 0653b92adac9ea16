// The pin availability of the advanced settings against a second, plainly
// written model of which physical pins each setting occupies: every pin code
// in every mapping list, for the cases users meet and for many random
// configurations of the whole board. The model shares no code with the rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "drive/pin_map.h"

namespace {

// ---- the model

// One thing a setting holds: a physical pin whole (place 0) or one of the
// four places of a resistor ladder on it (place 1..4).
struct Claim {
  int pin;
  int place;
};

// Physical pins, numbered like the digital codes: D0..D13 are 0..13, MISO SCK
// MOSI SS 14..17, A0..A5 18..23; A6 is D4, A7 D6, A8 D8, A9 D9, A10 D10, A11 D12.
int AnalogPinToPhysical(int k) {
  switch (k) {
    case 6: return 4;
    case 7: return 6;
    case 8: return 8;
    case 9: return 9;
    case 10: return 10;
    case 11: return 12;
    default: return 18 + k;
  }
}

std::vector<Claim> ClaimsOf(int code) {
  if (code >= 0 && code <= 17) return {{code, 0}};
  if (code >= 18 && code <= 29) return {{AnalogPinToPhysical(code - 18), 0}};
  if (code >= 0x80 && code <= 0xAF) return {{AnalogPinToPhysical((code - 0x80) / 4), (code - 0x80) % 4 + 1}};
  switch (code) {
    case 0xE0: return {{2, 0}, {3, 0}};
    case 0xE1: return {{4, 0}, {12, 0}};
    case 0xE2: return {{5, 0}, {7, 0}};
    case 0xE3: return {{8, 0}, {9, 0}};
    case 0xF0: return {{0, 0}, {1, 0}, {6, 0}};
    default: return {};  // "None" and codes that name no pin hold nothing
  }
}

std::vector<Claim> CommandModeClaims(int mode) {
  switch (mode) {
    case 0: return {{11, 0}};
    case 1:
    case 2: return {{10, 0}, {11, 0}};
    case 3: return {{2, 0}, {4, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}, {10, 0}, {12, 0}, {18, 0}, {19, 0}};
    default: return {};
  }
}

// Two claims clash on the same pin unless both are ladder places, and different ones.
bool Clash(const Claim& a, const Claim& b) {
  if (a.pin != b.pin) return false;
  return a.place == 0 || b.place == 0 || a.place == b.place;
}

// What every setting other than mapping list `list` holds.
std::vector<Claim> OthersClaims(const PinSettings& s, int list) {
  std::vector<Claim> all;
  auto add = [&](const std::vector<Claim>& c) { all.insert(all.end(), c.begin(), c.end()); };
  for (int i = 0; i < kMappingListCount; ++i) {
    if (i != list) add(ClaimsOf(s.mapping[i]));
  }
  for (uint8_t a : s.axes) add(ClaimsOf(a));
  add(ClaimsOf(s.externalGain));
  add(CommandModeClaims(s.commandMode));
  return all;
}

bool ModelAvailable(int code, const std::vector<Claim>& others) {
  if (code == 0xFF) return true;
  const std::vector<Claim> mine = ClaimsOf(code);
  if (mine.empty()) return false;
  for (const Claim& m : mine) {
    for (const Claim& o : others) {
      if (Clash(m, o)) return false;
    }
  }
  return true;
}

// ---- configurations

PinSettings Empty(int32_t mode = 1) {
  PinSettings s;
  for (uint8_t& m : s.mapping) m = kPinNone;
  for (uint8_t& a : s.axes) a = kPinNone;
  s.externalGain = kPinNone;
  s.commandMode = mode;
  return s;
}

uint8_t RandomCode(std::mt19937& r) {
  const unsigned pick = r() % 100;
  if (pick < 45) return kPinNone;
  if (pick < 75) return static_cast<uint8_t>(r() % 30);               // plain pins
  if (pick < 90) return static_cast<uint8_t>(0x80 + r() % 48);        // ladder places
  if (pick < 95) return static_cast<uint8_t>(0xE0 + r() % 4);         // LC functions
  if (pick < 97) return kPinEnc01;
  return static_cast<uint8_t>(r());                                   // anything a board may report
}

PinSettings Random(std::mt19937& r) {
  PinSettings s;
  for (uint8_t& m : s.mapping) m = RandomCode(r);
  for (uint8_t& a : s.axes) a = RandomCode(r);
  s.externalGain = RandomCode(r);
  s.commandMode = r() % 10 == 0 ? static_cast<int32_t>(r() % 8) : static_cast<int32_t>(r() % 4);
  return s;
}

// Rule and model agree on every code for every list; what a list offers is
// what the model calls free, plus the list's own code.
void ExpectAgrees(const PinSettings& s, const std::string& name) {
  const PinOccupation occupation(s);
  for (int list = 0; list < kMappingListCount; ++list) {
    const std::vector<Claim> others = OthersClaims(s, list);
    for (int code = 0; code < 256; ++code) {
      ASSERT_EQ(occupation.Available(static_cast<uint8_t>(code), list), ModelAvailable(code, others))
          << name << ": code 0x" << std::hex << code << std::dec << " in list " << list;
    }
    uint8_t offered[kPinListLength];
    const int count = OfferedCodes(occupation, s, list, offered);
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(offered[i] == s.mapping[list] || ModelAvailable(offered[i], others))
          << name << ": list " << list << " offers a pin in use, 0x" << std::hex << int(offered[i]);
    }
  }
}

std::vector<std::string> Texts(const PinSettings& s, int list) {
  const PinOccupation occupation(s);
  uint8_t offered[kPinListLength];
  const int count = OfferedCodes(occupation, s, list, offered);
  std::vector<std::string> out;
  char text[16];
  for (int i = 0; i < count; ++i) {
    PinText(offered[i], text, sizeof text);
    out.push_back(text);
  }
  return out;
}

bool Has(const std::vector<std::string>& texts, const std::string& text) {
  for (const std::string& t : texts) {
    if (t == text) return true;
  }
  return false;
}

// ---- tests

TEST(PinMap, TheRuleAgreesWithTheModelOnTheCasesUsersMeet) {
  struct Case {
    const char* name;
    PinSettings settings;
  };
  std::vector<Case> cases;
  cases.push_back({"nothing set", Empty(0)});
  auto with = [](PinSettings s, auto change) {
    change(s);
    return s;
  };
  cases.push_back({"button 1 on D3", with(Empty(), [](PinSettings& s) { s.mapping[0] = 3; })});
  cases.push_back({"X on Enc(0-1)", with(Empty(), [](PinSettings& s) { s.axes[0] = kPinEnc01; })});
  cases.push_back({"Y on A6", with(Empty(), [](PinSettings& s) { s.axes[1] = 24; })});
  cases.push_back({"VNH5019", Empty(kCommandVnh5019)});
  cases.push_back({"A3 (1) on button 1", with(Empty(), [](PinSettings& s) { s.mapping[0] = LadderCode(21, 1); })});
  cases.push_back({"D4 on button 2 (A6's pin)", with(Empty(), [](PinSettings& s) { s.mapping[1] = 4; })});
  cases.push_back({"A6 (2) on button 3", with(Empty(), [](PinSettings& s) { s.mapping[2] = LadderCode(24, 2); })});
  cases.push_back({"LC(5-7) on Z, A0 on the external gain", with(Empty(), [](PinSettings& s) {
                     s.axes[2] = kPinLc57;
                     s.externalGain = 18;
                   })});
  cases.push_back({"the stand-in board's defaults", with(Empty(), [](PinSettings& s) {
                     for (int i = 0; i < 8; ++i) s.mapping[i] = static_cast<uint8_t>(i);
                     s.axes[0] = 0;
                     s.axes[1] = 1;
                   })});
  cases.push_back({"a mapping list holding LC(2-3)", with(Empty(), [](PinSettings& s) { s.mapping[5] = kPinLc23; })});
  for (const Case& c : cases) ExpectAgrees(c.settings, c.name);
}

TEST(PinMap, TheRuleAgreesWithTheModelOnRandomBoards) {
  std::mt19937 random(20240601);
  for (int run = 0; run < 3000; ++run) ExpectAgrees(Random(random), "random board " + std::to_string(run));
}

TEST(PinMap, WhatTheListsOffer) {
  // Button 1 on D3: gone from the other lists, still chosen in its own.
  PinSettings s = Empty();
  s.mapping[0] = 3;
  EXPECT_TRUE(Has(Texts(s, 0), "D3"));
  for (int list = 1; list < kMappingListCount; ++list) EXPECT_FALSE(Has(Texts(s, list), "D3")) << list;

  // X on Enc(0-1): D0, D1 and D6 gone everywhere.
  s = Empty();
  s.axes[0] = kPinEnc01;
  for (int list = 0; list < kMappingListCount; ++list) {
    for (const char* pin : {"D0", "D1", "D6"}) EXPECT_FALSE(Has(Texts(s, list), pin)) << pin;
    EXPECT_TRUE(Has(Texts(s, list), "D2"));
  }

  // Y on A6: its pin D4 and its ladder places are gone.
  s = Empty();
  s.axes[1] = 24;
  for (const char* pin : {"D4", "A6 (1)", "A6 (2)", "A6 (3)", "A6 (4)"}) EXPECT_FALSE(Has(Texts(s, 7), pin)) << pin;
  EXPECT_TRUE(Has(Texts(s, 7), "A5 (1)"));

  // VNH5019 takes its ten pins and every ladder on them.
  s = Empty(kCommandVnh5019);
  const std::vector<std::string> vnh = Texts(s, 12);
  for (const char* pin : {"D2", "D4", "D6", "D7", "D8", "D9", "D10", "D12", "A0", "A1", "A0 (1)", "A1 (4)", "A6 (2)",
                          "A8 (1)", "A9 (3)", "A10 (4)", "A11 (2)"}) {
    EXPECT_FALSE(Has(vnh, pin)) << pin;
  }
  for (const char* pin : {"D3", "D5", "D11", "D13", "A2", "A5 (4)"}) EXPECT_TRUE(Has(vnh, pin)) << pin;
  EXPECT_FALSE(Has(Texts(Empty(kCommandPwm), 0), "D11"));
  EXPECT_TRUE(Has(Texts(Empty(kCommandPwm), 0), "D10"));

  // A3 (1) on button 1: A3 (2) still offered to button 2, A3 (1) and A3 not.
  s = Empty();
  s.mapping[0] = LadderCode(21, 1);
  EXPECT_TRUE(Has(Texts(s, 1), "A3 (2)"));
  EXPECT_FALSE(Has(Texts(s, 1), "A3 (1)"));
  EXPECT_FALSE(Has(Texts(s, 1), "A3"));

  // One physical pin never serves two functions: D4 on a button hides the
  // ladder of A6 (the same pin), and a ladder place on A6 hides D4.
  s = Empty();
  s.mapping[0] = 4;
  EXPECT_FALSE(Has(Texts(s, 1), "A6 (1)"));
  s = Empty();
  s.mapping[0] = LadderCode(24, 1);
  EXPECT_FALSE(Has(Texts(s, 1), "D4"));
  EXPECT_TRUE(Has(Texts(s, 1), "A6 (2)"));

  // A button whose pin the command mode took since still shows it (the board
  // has it); the others do not offer it.
  s = Empty(kCommandVnh5019);
  s.mapping[2] = 2;
  EXPECT_TRUE(Has(Texts(s, 2), "D2"));
  EXPECT_FALSE(Has(Texts(s, 3), "D2"));

  // The full list, in order, when nothing is taken but D11 (the PWM output).
  const std::vector<std::string> all = Texts(Empty(kCommandPwm), 0);
  ASSERT_EQ(all.size(), static_cast<size_t>(kPinListLength - 1));
  for (auto [at, text] : {std::pair<size_t, const char*>{0, "None"}, {1, "D0"}, {13, "D13"}, {14, "A0"}, {19, "A5"},
                          {20, "A0 (1)"}, {44, "A6 (1)"}, {48, "A8 (1)"}, {all.size() - 1, "A11 (4)"}}) {
    EXPECT_EQ(all[at], text) << at;
  }
}

TEST(PinMap, Texts) {
  const struct {
    uint8_t code;
    const char* text;
  } cases[] = {{0xFF, "None"}, {0, "D0"},       {13, "D13"},         {14, "MISO"},          {17, "SS"},
               {18, "A0"},     {29, "A11"},     {0x8A, "A2 (3)"},    {0xAF, "A11 (4)"},     {0xE1, "LC(4-12)"},
               {0xE3, "LC(8-9)"}, {0xF0, "Enc(0-1)"}, {0x30, "?"}, {0xB0, "?"}};
  char text[16];
  for (const auto& c : cases) {
    PinText(c.code, text, sizeof text);
    EXPECT_STREQ(text, c.text) << int(c.code);
  }
}

}  // namespace
