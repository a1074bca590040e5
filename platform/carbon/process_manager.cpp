// The Carbon process manager: this process's serial number and the request to bring it to
// the front, which goes to the desktop's process service.
#include <unistd.h>

#include "platform/carbon/carbon.h"
#include "platform/carbon/carbon_desktop.h"

namespace {

ProcessService process_service{};  // all null: no desktop can raise the application
uint64_t front_requests = 0;       // SetFrontProcess calls for this process

bool IsThisProcess(const ProcessSerialNumber& psn) {
  if (psn.highLongOfPSN != 0) return false;
  return psn.lowLongOfPSN == kCurrentProcess || psn.lowLongOfPSN == static_cast<UInt32>(getpid());
}

}  // namespace

void SetProcessService(const ProcessService* service) {
  process_service = service != nullptr ? *service : ProcessService{};
}

uint64_t CarbonFrontProcessRequests() {
  return front_requests;
}

extern "C" OSErr GetCurrentProcess(ProcessSerialNumber* outPSN) {
  if (outPSN == nullptr) return paramErr;
  *outPSN = {0, static_cast<UInt32>(getpid())};
  return noErr;
}

extern "C" OSErr SetFrontProcess(const ProcessSerialNumber* inPSN) {
  if (inPSN == nullptr) return paramErr;
  if (!IsThisProcess(*inPSN)) return procNotFound;
  ++front_requests;
  // A desktop that cannot raise windows (the terminal) still answers success, as a Mac does
  // for an application that is already in front.
  if (process_service.raise != nullptr) process_service.raise(process_service.context);
  return noErr;
}
