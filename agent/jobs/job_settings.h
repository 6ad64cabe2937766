// The profile values that shape a print job, gathered once at start-up so
// that the job code does not depend on how the profile is read.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

struct PrinterProfile;

// Where a job's output goes.
enum class OutputTarget {
  spoolerDevice,  // the printer, through the spooler
  printToFile,    // the printer driver's output, written to the job output file
  directToDisk,   // the print data as plain text, written to the job output file
};

// `directToDisk` only counts together with `printToFile`.
constexpr OutputTarget selectOutputTarget(bool printToFile, bool directToDisk) {
  if (!printToFile) return OutputTarget::spoolerDevice;
  return directToDisk ? OutputTarget::directToDisk : OutputTarget::printToFile;
}

struct JobSettings {
  bool printToFile = false;  // PrintToFile
  bool directToDisk = false; // directtodisk
  bool jetform = false;      // JetformFlag
  bool zedud = false;        // ZedudFlag
  bool fontOpt = false;      // FontOpt
  bool marginOpt = false;    // MarginOpt
  std::uint16_t ptfOpt = 0;  // PTFOpt: the output file name pattern
  std::string ptfPath;       // PTFPath: prefix of output file names
  std::string printerName;   // printername

  OutputTarget target() const { return selectOutputTarget(printToFile, directToDisk); }
  // The device mode is read at start-up only for targets that use the printer.
  bool needsPrinter() const { return target() != OutputTarget::directToDisk; }
};

// The job settings of a profile.
JobSettings jobSettingsFromProfile(const PrinterProfile& profile);

// The renderer option bits (OPT_*) of every job under these settings.
std::uint32_t computeOptionBits(const JobSettings& settings);

}  // namespace vorn
