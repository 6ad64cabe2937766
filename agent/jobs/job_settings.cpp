#include "agent/jobs/job_settings.h"

#include "agent/profile/printer_profile.h"
#include "agent/render/vorn_print.h"

namespace vorn {

JobSettings jobSettingsFromProfile(const PrinterProfile& profile) {
  JobSettings settings;
  settings.printToFile = profile.PrintToFile;
  settings.directToDisk = profile.directtodisk;
  settings.jetform = profile.JetformFlag;
  settings.zedud = profile.ZedudFlag;
  settings.fontOpt = profile.FontOpt;
  settings.marginOpt = profile.MarginOpt;
  settings.ptfOpt = profile.PTFOpt;
  settings.ptfPath = profile.PTFPath;
  settings.printerName = profile.printername;
  return settings;
}

std::uint32_t computeOptionBits(const JobSettings& settings) {
  std::uint32_t options = 0;
  if (settings.fontOpt) options |= OPT_COURIER;
  if (settings.printToFile) options |= OPT_TO_FILE;
  if (settings.marginOpt || settings.zedud || settings.jetform) options |= OPT_TOP_LINE;
  if (settings.zedud) options |= OPT_FIXED_LAYOUT;
  if (settings.zedud || settings.jetform) options |= OPT_NO_OVERFLOW;
  if (settings.jetform) options |= OPT_EJECT_MARK;
  return options;
}

}  // namespace vorn
