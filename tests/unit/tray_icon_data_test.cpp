// The tray record as the shell receives it, byte for byte.
#include "core/tray_icon_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/fake/fake_text_codec.h"

namespace np {
namespace {

template <class T>
T At(const std::uint8_t* bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

TEST(TrayRecord, AnsiImageHasTheShellLayout) {
  TrayIconRecord record;
  record.hWnd = 0x00C40A12;
  record.uID = 0x0001002B;
  record.uFlags = 7;
  record.uCallbackMessage = 512;
  record.hIcon = 0x0001002B;
  record.szTip = PaddedTip(L"Norvane Pellumin v1.0");
  record.cbSize = sizeof(AnsiNotifyIconData);
  FakeTextCodec codec;
  const AnsiNotifyIconData ansi = ToAnsiRecord(record, codec);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&ansi);

  const std::size_t ptr = sizeof(void*);
  const std::size_t uid_at = 4 + (ptr == 8 ? 4 : 0) + ptr;  // cbSize, padding, hWnd
  const std::size_t icon_at = uid_at + 12 + (ptr == 8 ? 4 : 0);
  const std::size_t tip_at = icon_at + ptr;
  EXPECT_EQ(sizeof ansi, ptr == 8 ? 104u : 88u);
  EXPECT_EQ(At<std::uint32_t>(bytes, 0), sizeof ansi);
  EXPECT_EQ(At<std::uintptr_t>(bytes, uid_at - ptr), 0x00C40A12u);
  EXPECT_EQ(At<std::uint32_t>(bytes, uid_at), 0x0001002Bu);
  EXPECT_EQ(At<std::uint32_t>(bytes, uid_at + 4), 7u);
  EXPECT_EQ(At<std::uint32_t>(bytes, uid_at + 8), 512u);
  EXPECT_EQ(At<std::uintptr_t>(bytes, icon_at), 0x0001002Bu);
  EXPECT_EQ(tip_at + 64, sizeof ansi);

  std::string expected_tip = std::string("Norvane Pellumin v1.0") + '\0';
  expected_tip.resize(64, ' ');
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + tip_at), 64), expected_tip);
  if (ptr == 8) {
    EXPECT_EQ(At<std::uint32_t>(bytes, 4), 0u) << "padding must be clean";
  }
}

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
