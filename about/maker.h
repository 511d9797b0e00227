// The maker's data that the About window shows and links to. A packager
// changes it here; labels, tooltips and links all follow.
#pragma once
#include <string>

namespace np {

inline constexpr wchar_t kMakerMailAddress[] = L"support@norvane.example";
inline constexpr wchar_t kMakerWebHost[] = L"www.norvane.example";
inline constexpr wchar_t kAuthorLine[] = L"Written by Ilse Marwood and Teodor Vance";
inline constexpr wchar_t kRightsNotice[] = L"Copyright (C) 2024 Norvane. All rights reserved.";

// Always the host behind the "http://" prefix, so the two cannot disagree.
inline std::wstring MakerWebAddress() { return std::wstring(L"http://") + kMakerWebHost; }

}  // namespace np
