// Merging keys into a given INI text: names matched as the installer's profile reader matches them.
#include "tools/ini_document.h"

#include <gtest/gtest.h>

namespace {

TEST(IniDocument, SetReplacesInPlaceAndKeepsOtherLines) {
  IniDocument ini;
  ini.Parse("; head\n[Main]\nSAFE = old\n; note\nother=1\n\n\n[Next]\nk=v");
  ini.Set("main", "safe", "new");
  ini.Set("Main", "added", "x");
  ini.Set("Third", "k", "3");
  EXPECT_EQ(ini.Text(),
            "; head\r\n\r\n[Main]\r\nsafe=new\r\n; note\r\nother=1\r\nadded=x\r\n\r\n"
            "[Next]\r\nk=v\r\n\r\n[Third]\r\nk=3\r\n");
  ini.ClearSection("NEXT");
  EXPECT_EQ(ini.Get("Next", "k"), "");
  EXPECT_TRUE(ini.HasSection("next"));
}

TEST(IniDocument, DoubleByteNamesAreComparedExactly) {
  // 0x81 0x41 and 0x81 0x61 are two characters whose trail bytes look like 'A' and 'a'.
  const std::string upper = "\x81\x41", lower = "\x81\x61";
  IniDocument ini;
  ini.Parse("[S]\n" + upper + "=1\n");
  ini.Set("s", lower, "2");
  EXPECT_EQ(ini.Get("S", upper), "1");
  EXPECT_EQ(ini.Get("S", lower), "2");
  ini.Set("S", "A" + upper, "3");
  EXPECT_EQ(ini.Get("S", "a" + upper), "3");
}

}  // namespace
