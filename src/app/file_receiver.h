#pragma once
// Decodes an audio file through the program's whole receive path: the file backend as the sound
// card, a main window core in the headless runner, the decoders, and the tick that moves the
// text into a receive window. It uses a settings file of its own, so the operator's settings are
// neither read nor changed.
#include <string>

#include "common/mode.h"

namespace vexa::app {

struct FileReceiveResult {
  bool ok = false;
  std::string error;  // why the file could not be read
  std::string text;   // the receive window's text, as the queue gave it (CR and LF unchanged)
};

// mode: the operating mode; audioHz: the receive frequency (the CW pitch in CW).
// scratchDir: a folder for the temporary settings file.
FileReceiveResult ReceiveFile(const std::string& wav, Mode mode, double audioHz,
                              const std::string& scratchDir);

}  // namespace vexa::app
