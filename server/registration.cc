// The registration values, from the class tables.
#include "server/registration.h"

#include "server/method_table.h"

namespace corvane::server {

bool HasOneCopyPerView(std::string_view key) {
  const std::string_view root = key.substr(0, key.find('\\'));
  return EqualsIgnoringCase(root, "CLSID") || EqualsIgnoringCase(root, "Interface");
}

std::vector<RegistrationValue> RegistrationValues(std::string_view dll_path,
                                                  std::string_view dll_folder,
                                                  std::string_view platform) {
  const std::string path(dll_path);
  const std::string library = std::string("TypeLib\\") + kLibraryId + "\\" + kLibraryVersion;
  std::vector<RegistrationValue> values = {
      {library, "", kLibraryName},
      {library + "\\FLAGS", "", "0"},
      {library + "\\HELPDIR", "", std::string(dll_folder)},
      {library + "\\409\\" + std::string(platform), "", path},
      {library + "\\0\\" + std::string(platform), "", path},
  };
  for (const ClassInfo& cls : Classes()) {
    const std::string clsid = std::string("CLSID\\") + cls.class_id;
    const std::string interface = std::string("Interface\\") + cls.interface_id;
    const std::vector<RegistrationValue> of_class = {
        {clsid, "", cls.name},
        {clsid + "\\InprocServer32", "", path},
        {clsid + "\\InprocServer32", "ThreadingModel", kThreadingModel},
        {clsid + "\\ProgID", "", cls.prog_id},
        {clsid + "\\VersionIndependentProgID", "", cls.prog_id},
        {clsid + "\\TypeLib", "", kLibraryId},
        {cls.prog_id, "", cls.prog_id},
        {std::string(cls.prog_id) + "\\CLSID", "", cls.class_id},
        {interface, "", cls.interface_name},
        {interface + "\\ProxyStubClsid", "", kUniversalMarshaler},
        {interface + "\\ProxyStubClsid32", "", kUniversalMarshaler},
        {interface + "\\TypeLib", "", kLibraryId},
        {interface + "\\TypeLib", "Version", kLibraryVersion},
    };
    values.insert(values.end(), of_class.begin(), of_class.end());
  }
  return values;
}

}  // namespace corvane::server
