#ifndef TESSALY_SERVICES_SERVICE_ERROR_H_
#define TESSALY_SERVICES_SERVICE_ERROR_H_

#include <cstdint>
#include <exception>

#include "services/text.h"

namespace tessaly {

/// The failure of a service operation. It carries what was being done, in the
/// user's words ("Datei lesen \"C:\\x.txt\""), and the system's error code,
/// which the run-time turns into the system's own description when it
/// reports the failure.
class ServiceError : public std::exception {
 public:
  ServiceError(Text operation, std::uint32_t system_code)
      : operation_(std::move(operation)), system_code_(system_code) {}

  const Text& operation() const { return operation_; }
  std::uint32_t system_code() const { return system_code_; }
  const char* what() const noexcept override { return "service failure"; }

 private:
  Text operation_;
  std::uint32_t system_code_;
};

}  // namespace tessaly

#endif  // TESSALY_SERVICES_SERVICE_ERROR_H_
