#include "app/application.h"

namespace vexa::app {

int Application::InitInstance(MainWindowRunner& runner) {
  trace_.Clear();
  trace_.TraceLine("Init instance\n");
  language_ = config_.store->ReadSettingInt("Misc", "Language", language_);
  trace_.TraceLine("Enable Control Container\n");
  trace_.TraceLine("Enable 3D Controls\n");
  trace_.TraceLine("Init Rich Edit\n");
  trace_.TraceLine("Init Common Controls\n");
  trace_.TraceLine("Get English Resourse Handle\n");

  if (config_.spotRing == nullptr) config_.spotRing = &spotRing_;
  int result = kResultCancel;
  for (;;) {
    trace_.TraceLine("Begin creating main dialog\n");
    auto core = std::make_unique<MainCore>(config_, trace_, runner.Host(), templateNumber_);
    trace_.TraceLine("Main dialog has been created\nRunning Modal Loop\n");
    result = runner.RunModal(*core);
    templateNumber_ = core->templateNumber();
    trace_.TraceLine("Exit from Modal Loop\n");
    core.reset();  // saves the member settings
    trace_.TraceLine("Main dialog deleted\n");
    if (result != kResultReload) break;
  }
  trace_.TraceLine("Final Exit\n");
  return result;
}

}  // namespace vexa::app
