#pragma once
// A section of the station: one area of work that the main window core owns and calls in a
// fixed order (receive, transmit, logbook, rig; later console, packet, contest, spots). Each
// section keeps its own state and settings and hears only the events it overrides; it tells the
// other sections what happened through the bus, never by calling them. A new capability is a
// new section, not new lines in the core.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/mode.h"

namespace vexa::app {

// The operating set-up a frequency memory keeps: each section fills in and restores its part.
struct StationSnapshot {
  Mode mode = Mode::Psk31;
  int64_t dialHz = 0;     // the transceiver's dial frequency
  double receiveHz = 0;   // audio receive frequency
  double transmitHz = 0;  // audio transmit frequency
  double secondHz = 0;    // the second receive channel (0: off)
  double rttyBaud = 0;    // the RTTY decoders' speed
  int cwDotTicks = 0;     // the CW keyer's dot length in 4 ms ticks
  bool afc = false, net = false;
};

// What a section can announce; the core passes each announcement to every section in order.
class SectionBus {
 public:
  virtual ~SectionBus() = default;
  // A received line is complete (the text of the line, without CR and LF).
  virtual void ReceivedLine(std::string_view line) = 0;
  // The transmit audio frequency changed (a click, NET, a frequency field).
  virtual void TransmitFrequencyChanged(double hz) = 0;
  // The inversion flag changed (the sideband now differs, or no longer differs, from DigiSide).
  virtual void InversionChanged(bool on) = 0;
  // The RTTY baud-rate command accepted a new rate (the modulator follows).
  virtual void RttyBaudChanged(double baud) = 0;
  // Reception was switched on or off by the operator.
  virtual void ReceptionSwitched(bool on) = 0;
  // A sound transmission started or ended.
  virtual void TransmittingChanged(bool on) = 0;
  // Bytes the transceiver sent while the port monitor is off (the CAT replies).
  virtual void TransceiverBytes(std::span<const uint8_t> bytes) = 0;
  // Something start-up or a command has to tell the operator without stopping (status line).
  virtual void Notice(std::string_view text) = 0;
  // The receive audio frequency changed (a click, AFC, a frequency field).
  virtual void ReceiveFrequencyChanged(double hz) = 0;
  // The transceiver's dial frequency is now known to be dialHz (set by us or read back).
  virtual void RigFrequencyChanged(int64_t dialHz) = 0;
  // The transceiver reported a mode the program should follow.
  virtual void ModeRequested(Mode mode) = 0;
  // Text for the port monitor window (frames on the transceiver bus nobody asked for).
  virtual void PortMonitorText(std::string_view text) = 0;
  // A line the TNC terminal received from its controller (offered to the spot list).
  virtual void TerminalLine(std::string_view line) = 0;
  // A block of received audio (11025 samples per second) went through the receive path.
  virtual void InputBlock(std::span<const int16_t> samples) = 0;
  // Every section puts its part of the operating set-up into the snapshot.
  virtual void CaptureStation(StationSnapshot& snapshot) = 0;
  // The set-up goes back: the mode first, then every section takes its part.
  virtual void RestoreStation(const StationSnapshot& snapshot) = 0;
};

class Section {
 public:
  virtual ~Section() = default;
  virtual const char* name() const = 0;

  // One step (6 to 20) of the main window's initialisation, after the core has traced it.
  virtual void OnInitStep(int step) { (void)step; }
  // The operating mode changed.
  virtual void OnModeChange(Mode mode) { (void)mode; }
  // The main loop woke up (another thread has something: data on a port the section owns).
  virtual void OnWake() {}
  // The 55 ms tick, and the one-second cadence derived from it.
  virtual void OnTick() {}
  virtual void OnSecond() {}
  // After every section's tick work: output into the receive window.
  virtual void OnTickEnd() {}
  // A system-menu command; true when this section handled it.
  virtual bool OnCommand(int command) {
    (void)command;
    return false;
  }
  // The Setup sheet was closed with OK: its settings are in the members and the file; take them
  // again and apply what changed.
  virtual void OnSetupApplied() {}
  // The operator asked to close: false cancels the close (a question was answered Cancel).
  virtual bool OnCloseRequested() { return true; }
  // The close goes ahead: stop the work that must not outlive the window.
  virtual void OnClosing() {}
  // The window is being destroyed: keep what must survive the run.
  virtual void OnDestroy() {}

  // Announcements of the other sections (see SectionBus).
  virtual void OnReceivedLine(std::string_view line) { (void)line; }
  virtual void OnTransmitFrequency(double hz) { (void)hz; }
  virtual void OnInversion(bool on) { (void)on; }
  virtual void OnRttyBaud(double baud) { (void)baud; }
  virtual void OnReceptionSwitch(bool on) { (void)on; }
  virtual void OnTransmitting(bool on) { (void)on; }
  virtual void OnTransceiverBytes(std::span<const uint8_t> bytes) { (void)bytes; }
  virtual void OnReceiveFrequency(double hz) { (void)hz; }
  virtual void OnRigFrequency(int64_t dialHz) { (void)dialHz; }
  virtual void OnPortMonitorText(std::string_view text) { (void)text; }
  virtual void OnTerminalLine(std::string_view line) { (void)line; }
  virtual void OnInputBlock(std::span<const int16_t> samples) { (void)samples; }
  virtual void OnCapture(StationSnapshot& snapshot) { (void)snapshot; }
  virtual void OnRestore(const StationSnapshot& snapshot) { (void)snapshot; }
};

}  // namespace vexa::app
