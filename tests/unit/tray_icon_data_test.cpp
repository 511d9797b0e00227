// The tray record's tip field as the shell receives it.
#include "core/tray_icon_data.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fake/fake_text_codec.h"

namespace np {
namespace {

TEST(TrayRecord, TipFieldAlwaysHoldsATerminator) {
  struct Case {
    std::wstring tip;
    std::size_t nul_at;
  };
  for (const Case& c :
       {Case{L"", 0}, Case{L"x", 1}, Case{std::wstring(63, L'a'), 63}, Case{std::wstring(80, L'a'), 63}}) {
    const auto field = PaddedTip(c.tip);
    EXPECT_EQ(field[c.nul_at], L'\0') << c.tip.size();
    for (std::size_t i = c.nul_at + 1; i < field.size(); ++i) EXPECT_EQ(field[i], L' ');
  }
}

// A double-byte code page can make the converted tip longer than the field.
class WideningCodec final : public TextCodec {
 public:
  std::string ToAnsi(std::wstring_view text) override { return std::string(text.size() * 2, 'x'); }
  std::wstring FromAnsi(std::string_view bytes) override { return std::wstring(bytes.size(), L'x'); }
};

TEST(TrayRecord, OverlongConversionIsCutAndTerminated) {
  TrayIconRecord record;
  record.szTip = PaddedTip(L"Norvane Pellumin v1.0");
  WideningCodec codec;
  const AnsiNotifyIconData ansi = ToAnsiRecord(record, codec);
  EXPECT_EQ(ansi.szTip[63], '\0');
  EXPECT_EQ(ansi.szTip[62], 'x');
}

}  // namespace
}  // namespace np
