/* The product's name and version texts, each written once, exactly as the
   user reads them. The resource script includes this too, so above the C++
   part it is plain preprocessor. */
#ifndef NP_PRODUCT_H
#define NP_PRODUCT_H

#define NP_COMPANY_NAME "Norvane"
#define NP_PRODUCT_NAME "Norvane Pellumin"
#define NP_NAME_AND_VERSION "Norvane Pellumin v1.0"
#define NP_VERSION_LINE "Norvane Pellumin Ver.: 1.0"
#define NP_VERSION_TEXT "1.00"
#define NP_VERSION_NUMBERS 1, 0, 0, 0

#ifndef RC_INVOKED
namespace np {
// The application title too: the caption of the program's message boxes.
inline constexpr wchar_t kProductName[] = L"" NP_PRODUCT_NAME;
// The tray tip and the About window's title.
inline constexpr wchar_t kNameAndVersion[] = L"" NP_NAME_AND_VERSION;
// The About window's version line.
inline constexpr wchar_t kVersionLine[] = L"" NP_VERSION_LINE;
}  // namespace np
#endif

#endif
