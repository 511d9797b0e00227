// frAbout: the About window. The banner, the product's texts, two links that
// take the highlight colour under the pointer and open through the shell, and
// two lines that shrink to the centre and grow back out once per load.
#pragma once
#include "runtime/platform.h"
#include "runtime/form.h"

namespace np {

inline constexpr Colour kLinkBlue = 0x00FF0000;
inline constexpr int kAboutTimer1 = 1;
inline constexpr std::uint32_t kAboutTimer1IntervalMs = 1;

class frAbout final : public Form {
 public:
  // Creates the window hidden with its controls, then runs the load step.
  explicit frAbout(Platform& platform);

  // Top to bottom, as they are laid out and painted.
  const ControlId Image1, Line2, Label5, Label6, Label1, Label7, Label3, Label8, Line1, Label4, Label2;

 private:
  void Form_Load();
  void Form_MouseMove();
  void Label3_MouseMove();
  void Label6_MouseMove();
  void Label3_Click();
  void Label6_Click();
  void Image1_Click();
  void Timer1_Timer();
  void OpenWebSite();
  // Moves both ends 100 twips inwards; true once the end x is 0 or less.
  bool StepLine(ControlId line);
  void Open(const std::wstring& file);

  void Timer(int timer_id) override;
  void MouseMove(int x, int y) override;
  void ControlMouseMove(ControlId control) override;
  void ControlMouseClick(ControlId control, MouseButton button) override;

  Shell& shell_;
};

}  // namespace np
