// Events on Windows: CreateEventA with an inheritable handle when asked,
// SetEvent, ResetEvent, SetHandleInformation, and the event a parent process
// passed down by its handle value.
#include "platform/event.h"

#include <windows.h>
#include <winternl.h>

#include <array>
#include <string_view>

#include "platform/error.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/waitable_handle.h"

namespace vorn::platform {
namespace {

class Win32Event final : public Event, public win32::WaitableHandle {
 public:
  explicit Win32Event(win32::SharedHandle handle) : handle_(std::move(handle)) {}

  win32::SharedHandle sharedHandle() const override { return handle_; }

  bool set() override { return ::SetEvent(handle_->get()) != FALSE; }
  bool reset() override { return ::ResetEvent(handle_->get()) != FALSE; }

  bool setInheritable(bool inheritable) override {
    return ::SetHandleInformation(handle_->get(), HANDLE_FLAG_INHERIT, inheritable ? HANDLE_FLAG_INHERIT : 0) !=
           FALSE;
  }

  std::uint32_t inheritedHandleValue() const override {
    // Kernel handles fit in 32 bits, also in a 64-bit process.
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle_->get()));
  }

 private:
  win32::SharedHandle handle_;
};

// Whether `handle` is an open handle of this process to an event object
// (NtQueryObject names the object's type).
bool isEventHandle(HANDLE handle) {
  DWORD flags = 0;
  if (!::GetHandleInformation(handle, &flags)) return false;
  alignas(PUBLIC_OBJECT_TYPE_INFORMATION) std::array<std::byte, 1024> buffer{};
  ULONG length = 0;
  const NTSTATUS status =
      ::NtQueryObject(handle, ObjectTypeInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length);
  if (status < 0) return false;
  const auto& info = *reinterpret_cast<const PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer.data());
  const std::wstring_view type(info.TypeName.Buffer, info.TypeName.Length / sizeof(wchar_t));
  return type == L"Event";
}

}  // namespace

std::uint32_t createEvent(bool manualReset, bool initiallySignalled, bool inheritable,
                          std::unique_ptr<Event>& event) {
  event.reset();
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, inheritable ? TRUE : FALSE};
  const HANDLE handle = ::CreateEventA(&security, manualReset, initiallySignalled, nullptr);
  if (handle == nullptr) {
    const win32::LastErrorKeeper failure;
    return failure.code();
  }
  event = std::make_unique<Win32Event>(win32::shareHandle(handle));
  return kErrorSuccess;
}

std::unique_ptr<Event> inheritedEvent(std::uint32_t handleValue) {
  const auto handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handleValue));
  if (handleValue == 0 || !isEventHandle(handle)) return nullptr;
  return std::make_unique<Win32Event>(win32::shareHandle(handle));
}

}  // namespace vorn::platform
