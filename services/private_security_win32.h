// Who a scratch copy belongs to, and who else may open it: nobody but the
// system.
#ifndef TESSALY_SERVICES_PRIVATE_SECURITY_WIN32_H_
#define TESSALY_SERVICES_PRIVATE_SECURITY_WIN32_H_

#include <functional>
#include <memory>
#include <vector>

#include "services/win32_support_win32.h"

namespace tessaly {

/// The SID that an access token holds as its TokenUser or its TokenOwner.
using TokenQuery = std::function<std::vector<BYTE>(TOKEN_INFORMATION_CLASS)>;

/// The security of the scratch copies of the user a token is for. A copy is
/// the user's alone wherever the temp folder is, and whatever the folder
/// would pass on: the user owns it, and its access list, which inherits
/// nothing, lets in the user and SYSTEM. The owner is the token's user,
/// never its default owner, which in an elevated run is Administrators.
/// ADVAPI32 is loaded for it, from the system folder.
class PrivateSecurity {
 public:
  /// For the user of `token`; by default, of this process's token.
  explicit PrivateSecurity(const TokenQuery& token = nullptr);
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;

  /// For CreateFileW: a new file with this security.
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

  /// Whether the file open as `file`, with READ_CONTROL, is owned by the
  /// user. False where its owner cannot be read.
  bool OwnedByUser(HANDLE file) const;

 private:
  struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
  };

  UniqueModule advapi_;
  std::vector<BYTE> user_sid_;
  std::unique_ptr<void, LocalFreer> descriptor_;
  SECURITY_ATTRIBUTES attributes_ = {};
};

}  // namespace tessaly

#endif  // TESSALY_SERVICES_PRIVATE_SECURITY_WIN32_H_
