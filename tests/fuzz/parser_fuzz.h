#pragma once
// Entry points that feed arbitrary bytes to every parser of outside input: the settings file,
// log records and whole log files, the country file, callsign lists, the Baudot and varicode
// bit decoders, DX spot lines and the telnet cluster's bytes, AX.25 frames, the HDLC receiver, the
// KISS receiver and the AX.25 link. Each checks the invariants its parser promises and returns
// false when one is broken; a crash or undefined behaviour is caught by the sanitizers. They serve
// two masters: the libFuzzer programs (make fuzz) and a seeded sweep that runs with the unit tests.
#include <cstddef>
#include <cstdint>

namespace vexa::fuzz {

bool FuzzSettingsFile(const uint8_t* data, size_t size);
bool FuzzQsoRecord(const uint8_t* data, size_t size);
bool FuzzLogFile(const uint8_t* data, size_t size);
bool FuzzCountryFile(const uint8_t* data, size_t size);
bool FuzzCallsignList(const uint8_t* data, size_t size);
bool FuzzRxBits(const uint8_t* data, size_t size);
bool FuzzSpotLine(const uint8_t* data, size_t size);
bool FuzzClusterReader(const uint8_t* data, size_t size);
// AX.25 frame bytes (without FCS) through the decoder, the monitor line and the encoder.
bool FuzzAx25Frame(const uint8_t* data, size_t size);
// Bytes as run lengths (and as a line of levels) into the HDLC receiver.
bool FuzzHdlcRuns(const uint8_t* data, size_t size);
// ADI or ADX bytes through the reader and the conversion into log records.
bool FuzzAdif(const uint8_t* data, size_t size);
// A received exchange and a call through the tally, the WPX prefix and the contest report pass.
bool FuzzContestExchange(const uint8_t* data, size_t size);
// Bytes of a KISS stream into the KISS receiver.
bool FuzzKissReceiver(const uint8_t* data, size_t size);
// Bytes as a script of peer frames, ticks and sends against a connected AX.25 link, and as raw
// frames into the station.
bool FuzzAx25Link(const uint8_t* data, size_t size);

}  // namespace vexa::fuzz
