#pragma once
// Results of operations that cross a subsystem border: 0 is success, anything else a small
// error number that the caller reports or ignores. Each subsystem numbers its own errors from 1;
// these are the few meanings every caller understands.
namespace vexa {

enum Status : int {
  kOk = 0,
  kStatusNotOpen = 1,   // the device or port the operation needs is not open
  kStatusBadInput = 2,  // the value or text given was refused
  kStatusIoError = 3,   // reading or writing a device or file failed
};

}  // namespace vexa
