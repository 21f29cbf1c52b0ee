#include "app/station_context.h"

#include <chrono>
#include <thread>

namespace vexa::app {

void StationContext::Sleep(int ms) const {
  if (config.sleep) {
    config.sleep(ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

}  // namespace vexa::app
