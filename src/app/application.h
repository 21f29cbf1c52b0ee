#pragma once
// The process's start-up and shutdown: the traced start-up steps, then the loop that builds the
// main window, runs it until its modal loop ends, deletes it (which saves its member settings)
// and builds it again when the result asks for a reload (a layout or language change).
#include <functional>
#include <memory>

#include "app/main_core.h"
#include "spots/spot_ring.h"

namespace vexa::app {

// One pass of the main window as the program around the core runs it.
class MainWindowRunner {
 public:
  virtual ~MainWindowRunner() = default;
  // The host the core reports to while it is being built and run.
  virtual CoreHost& Host() = 0;
  // Called with the freshly built core: show the window, run the modal loop until the host's
  // EndModalLoop, and return the result.
  virtual int RunModal(MainCore& core) = 0;
};

class Application {
 public:
  Application(CoreConfig config, platform::TraceLog trace)
      : config_(std::move(config)), trace_(std::move(trace)) {}

  // Runs the start-up loop; returns the final modal result.
  int InitInstance(MainWindowRunner& runner);

  int templateNumber() const { return templateNumber_; }
  int language() const { return language_; }

 private:
  CoreConfig config_;
  platform::TraceLog trace_;
  int templateNumber_ = kTemplateNormal;
  int language_ = 0;
  // Lives as long as the process: the spots survive a rebuild of the main window.
  spots::SpotRing spotRing_;
};

}  // namespace vexa::app
