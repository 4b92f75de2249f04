// Owned handles: one template for every kind of handle, closed by the
// function that closes that kind, so that no handle is closed by hand.
#ifndef TESSALY_WIN32_HANDLES_H_
#define TESSALY_WIN32_HANDLES_H_

#include <windows.h>

#include <memory>
#include <type_traits>

namespace tessaly {

/// The kind of handle a closing function takes.
template <typename Close>
struct ClosedHandle;
template <typename Result, typename Handle>
struct ClosedHandle<Result(WINAPI*)(Handle)> {
  using type = Handle;
};

template <auto Close>
struct CloseWith {
  using Handle = typename ClosedHandle<decltype(Close)>::type;
  void operator()(Handle handle) const { Close(handle); }
};

/// A handle owned until this goes, then given to `Close`; null is none.
template <auto Close>
using UniqueAny =
    std::unique_ptr<std::remove_pointer_t<typename CloseWith<Close>::Handle>,
                    CloseWith<Close>>;

using UniqueHandle = UniqueAny<&::CloseHandle>;
using UniqueFindHandle = UniqueAny<&::FindClose>;
using UniqueModule = UniqueAny<&::FreeLibrary>;
/// Memory that the system allocated for the caller (FormatMessageW,
/// ConvertSidToStringSidW, GetSecurityInfo and the like).
using UniqueLocal = UniqueAny<&::LocalFree>;

/// Takes ownership of a handle from an API that reports failure either as
/// null or as INVALID_HANDLE_VALUE; both become an empty UniqueHandle.
inline UniqueHandle OwnHandle(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace tessaly

#endif  // TESSALY_WIN32_HANDLES_H_
