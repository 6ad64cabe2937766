#include "platform/folder_probe.h"

#include <windows.h>

#include <array>
#include <string>

#include "platform/error.h"

namespace vorn::platform {

std::uint32_t probeFolder(std::string_view path, FolderUse use) {
  std::string folder(path);
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  const DWORD attributes = ::GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return kErrorDirectory;
  if (use == FolderUse::read) {
    WIN32_FIND_DATAA found{};
    const HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return ::GetLastError();
    ::FindClose(search);
    return kErrorSuccess;
  }
  // Only a file made there tells: folder rights are not all in the attributes.
  std::array<char, MAX_PATH> probe{};
  if (::GetTempFileNameA(folder.c_str(), "vpp", 0, probe.data()) == 0) return ::GetLastError();
  if (!::DeleteFileA(probe.data())) return ::GetLastError();
  return kErrorSuccess;
}

}  // namespace vorn::platform
