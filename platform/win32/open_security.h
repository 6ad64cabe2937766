// Security attributes with a null DACL: anyone on the machine may open the
// object (used for the pipes that other users' programs reach).
#pragma once

#include <windows.h>

#include <cstdint>

namespace vorn::platform::win32 {

class OpenSecurity {
 public:
  // InitializeSecurityDescriptor and SetSecurityDescriptorDacl(NULL); 0 or
  // the code of their failure.
  std::uint32_t create() {
    if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE))
      return static_cast<std::uint32_t>(::GetLastError());
    attributes_ = SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), &descriptor_, FALSE};
    return 0;
  }

  // Valid while this object lives, after a successful create().
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

 private:
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace vorn::platform::win32
