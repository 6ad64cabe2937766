#include "agent/hostlink/link_arguments.h"

namespace vorn {
namespace {

// "%-4.4s": at most 4 characters (a C string ends at its first NUL), blank padded.
void appendFormField(std::string& out, std::string_view form) {
  std::size_t taken = 0;
  while (taken < 4 && taken < form.size() && form[taken] != '\0') out.push_back(form[taken++]);
  out.append(4 - taken, ' ');
}

}  // namespace

std::string QuoteConnectValue(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted.push_back('"');
  for (const char c : value) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

std::string BuildConnectString(const PrinterProfile& profile) {
  std::string text;
  text += "Profile=" + QuoteConnectValue(profile.name);
  text += ",Server=" + QuoteConnectValue(profile.Machine);
  text += ",CommType=" + QuoteConnectValue(profile.CommType ? "socket" : "pipe");
  text += ",Online=" + QuoteConnectValue(profile.Online);
  text += ",Client=" + QuoteConnectValue(profile.User);
  text += ",Location=" + QuoteConnectValue(profile.Location);
  text += ",Direct=" + QuoteConnectValue(profile.Direct ? "yes" : "no");
  text += ",Port=" + QuoteConnectValue(std::to_string(profile.Port));
  return text;
}

std::string BuildFormsText(std::string_view mainForm, std::string_view altForm) {
  std::string forms;
  appendFormField(forms, mainForm);
  appendFormField(forms, altForm);
  return forms;
}

std::int32_t BuildDeviceFlags(const PrinterProfile& profile) {
  std::int32_t flags = 2;
  if (profile.Restrict) flags += 8;
  if (profile.TwoSide) flags += 4;
  if (profile.TwoTray) flags += 1;
  return flags;
}

}  // namespace vorn
