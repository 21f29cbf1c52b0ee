// vexa-cli devices: the sound cards present, and which ones the settings choose.
#include <iostream>

#include "cli/cli.h"
#include "engine/sound_card.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/settings_store.h"

namespace vexa::cli {

int CmdDevices(CliContext& ctx) {
  platform::SettingsStore store(ctx.paths.settingsFile);
  auto backend = platform::MakePortAudioBackend();
  engine::DeviceChoice choice;
  choice.argument = ctx.args.empty() ? "" : ctx.args[0];
  choice.inputName = store.ReadSettingText("Misc", "InputDevice", "");
  choice.outputName = store.ReadSettingText("Misc", "OutputDevice", "");
  engine::SoundCard card(*backend, choice);

  const int nin = backend->InputDeviceCount();
  const int nout = backend->OutputDeviceCount();
  ctx.out << "Input devices (receive):\n";
  if (nin == 0) ctx.out << "  none found\n";
  const int chosenIn = nin > 0 ? card.ChosenInputDevice() : -1;
  for (int d = 0; d < nin; ++d)
    ctx.out << (d == chosenIn ? "* " : "  ") << d << "  " << backend->InputDeviceName(d) << "\n";
  ctx.out << "Output devices (transmit):\n";
  if (nout == 0) ctx.out << "  none found\n";
  const int chosenOut = nout > 0 ? card.ChosenOutputDevice() : -1;
  for (int d = 0; d < nout; ++d)
    ctx.out << (d == chosenOut ? "* " : "  ") << d << "  " << backend->OutputDeviceName(d) << "\n";
  ctx.out << "\nChoose by name with: vexa-cli settings set Misc InputDevice \"NAME\" (and "
             "OutputDevice),\nor by number with the first argument of vexa: two digits choose "
             "input and output.\n";
  if (nin == 0 && nout == 0)
    ctx.out << "No sound card was found: Vexa can still decode audio files and its demo audio.\n";
  return kExitOk;
}

}  // namespace vexa::cli
