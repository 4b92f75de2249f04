// Who a scratch copy belongs to, and who else may open it: the system, and
// where a share refused the user as owner, whoever owns the copy there.
#ifndef TESSALY_WIN32_PRIVATE_SECURITY_H_
#define TESSALY_WIN32_PRIVATE_SECURITY_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win32/handles.h"
#include "win32/support.h"

namespace tessaly {

/// The SID that an access token holds as its TokenUser or its TokenOwner.
using TokenQuery = std::function<std::vector<BYTE>(TOKEN_INFORMATION_CLASS)>;

/// Whether the volume of the file open as `file` keeps access lists and
/// owners (FILE_PERSISTENT_ACLS). FAT, FAT32 and exFAT keep none, and nor
/// do some shares. True where the volume cannot be asked, so that what
/// rests on an owner still asks for one.
bool VolumeKeepsAcls(HANDLE file);

/// The security of the scratch copies of the user a token is for. A copy is
/// the user's alone wherever the temp folder keeps security, and whatever
/// the folder would pass on: the user owns it, and its access list, which
/// inherits nothing, lets in the user and SYSTEM. The owner is the token's
/// user, never its default owner, which in an elevated run is
/// Administrators. ADVAPI32 is loaded for it, from the system folder.
class PrivateSecurity {
 public:
  using VolumeQuery = std::function<bool(HANDLE file)>;

  /// For the user of `token`; by default, of this process's token. Whether
  /// a file's volume keeps owners is asked of `keeps_acls`.
  explicit PrivateSecurity(const TokenQuery& token = nullptr,
                           VolumeQuery keeps_acls = VolumeKeepsAcls);
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;

  /// For CreateFileW: a new file with this security.
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

  /// Without the owner, for a file system that refuses the user as owner
  /// (ERROR_INVALID_OWNER), as a share reached as another account may: the
  /// file then gets the owner the system gives it, which the access list
  /// also lets in, so that the one who made the file can still read it.
  SECURITY_ATTRIBUTES* attributes_without_owner() {
    return &attributes_without_owner_;
  }

  /// The owner of the file open as `file`, with READ_CONTROL; empty where
  /// it cannot be read.
  std::vector<BYTE> OwnerOf(HANDLE file) const;

  /// Whether the file open as `file` counts as the user's own: owned by
  /// the user; or owned by `run_owner` where that is not empty (the owner
  /// that the file system gave this run's own copy when it refused the
  /// user: on a share, the account it is reached as, which many people may
  /// share) and holding an entry of its own for the user, as every copy
  /// made here does and no other person's; or on a volume that keeps no
  /// owners, where no owner can be told. There the file system's own
  /// rules, a share's or the Unix permissions behind one, still decide
  /// whether it may be removed.
  bool CountsAsUsersOwn(HANDLE file,
                        const std::vector<BYTE>& run_owner = {}) const;

 private:
  using UniqueDescriptor = UniqueLocal;

  UniqueDescriptor Descriptor(const std::wstring& sddl) const;
  /// Whether the DACL of the file open as `file`, with READ_CONTROL, lets
  /// in the user by an entry of the file's own, not one it inherited.
  bool GrantsUserExplicitly(HANDLE file) const;

  UniqueModule advapi_;
  VolumeQuery keeps_acls_;
  std::vector<BYTE> user_sid_;
  UniqueDescriptor descriptor_;
  UniqueDescriptor descriptor_without_owner_;
  SECURITY_ATTRIBUTES attributes_ = {};
  SECURITY_ATTRIBUTES attributes_without_owner_ = {};
};

}  // namespace tessaly

#endif  // TESSALY_WIN32_PRIVATE_SECURITY_H_
