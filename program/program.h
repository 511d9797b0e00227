// The program's windows and how they find each other.
#pragma once
#include <memory>

#include "about/fr_about.h"
#include "core/fr_main.h"
#include "settings/fr_settings.h"
#include "runtime/platform.h"

namespace np {

class Program {
 public:
  explicit Program(Platform& platform)
      : platform_(platform),
        settings_([this] { return std::make_unique<frSettings>(platform_); }),
        pop_([this] { return std::make_unique<frPop>(platform_); }),
        about_([this] { return std::make_unique<frAbout>(platform_); }) {}
  // The factories hold `this`.
  Program(Program&&) = delete;
  Program& operator=(Program&&) = delete;

  // Loads frMain, whose load step is the whole start-up. False when it failed
  // to load; the error has gone to the sink by then.
  bool Start();

  frMain* Main() { return main_.get(); }
  FormSingleton<frSettings>& Settings() { return settings_; }
  FormSingleton<frAbout>& About() { return about_; }

 private:
  Platform& platform_;
  // frMain writes into these and opens them: they outlive frMain.
  FormSingleton<frSettings> settings_;
  FormSingleton<frPop> pop_;
  FormSingleton<frAbout> about_;
  std::unique_ptr<frMain> main_;
};

}  // namespace np
