// Writes the COM server's registration, from the class tables, in the forms that ship it:
//   registration-source wix PLATFORM FILE_ID FOLDER_ID [--beside OTHER]
//                                                        WiX registry entries (an <Include>)
//                                                        for Corvane.dll installed as file
//                                                        FILE_ID in the folder FOLDER_ID;
//                                                        --beside: in a package that also
//                                                        registers the OTHER platform's DLL,
//                                                        which writes the shared keys
//   registration-source manifest PLATFORM VERSION        the side-by-side assembly manifest of
//                                                        Corvane.dll (VERSION a.b.c.d)
// PLATFORM is win32 or win64.
#include <algorithm>
#include <iostream>
#include <string>
#include <string_view>

#include "server/method_table.h"
#include "server/registration.h"

namespace {

using corvane::server::Classes;
using corvane::server::ClassInfo;
using corvane::server::RegistrationValue;

std::string Xml(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// Formatted values of the Registry table: [#file] is the file's full path, [folder] the
// folder's, which Windows Installer always ends with a backslash. Beside the other platform's
// DLL, a value of a key that both views share is left to the other DLL's entries when they
// write it the same (the ProgIDs, the library's name and flags): one package, one writer.
void WriteWix(std::string_view platform, std::string_view file_id, std::string_view folder_id,
              std::string_view beside) {
  const std::string path = "[#" + std::string(file_id) + "]";
  const std::string folder = "[" + std::string(folder_id) + "]";
  std::cout << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
               "<!-- The registration of Corvane.dll (" << platform << "), from the class tables. -->\n"
               "<Include>\n";
  const std::vector<RegistrationValue> other =
      beside.empty() ? std::vector<RegistrationValue>()
                     : corvane::server::RegistrationValues("", "", beside);
  for (const RegistrationValue& entry :
       corvane::server::RegistrationValues(path, folder, platform)) {
    if (!corvane::server::HasOneCopyPerView(entry.key) &&
        std::find(other.begin(), other.end(), entry) != other.end())
      continue;  // left to the other DLL's entries
    std::cout << "  <RegistryValue Root=\"HKCR\" Key=\"" << Xml(entry.key) << "\"";
    if (!entry.name.empty()) std::cout << " Name=\"" << Xml(entry.name) << "\"";
    std::cout << " Type=\"string\" Value=\"" << Xml(entry.value) << "\"/>\n";
  }
  std::cout << "</Include>\n";
}

void WriteManifest(std::string_view platform, std::string_view version) {
  const char* architecture = platform == "win64" ? "amd64" : "x86";
  const std::string library = corvane::server::kLibraryId;
  std::cout << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
               "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
               "  <assemblyIdentity type=\"win32\" name=\"Corvane\" version=\"" << Xml(version)
            << "\" processorArchitecture=\"" << architecture << "\"/>\n"
               "  <file name=\"Corvane.dll\">\n";
  for (const ClassInfo& cls : Classes())
    std::cout << "    <comClass clsid=\"" << cls.class_id << "\" progid=\"" << cls.prog_id
              << "\" threadingModel=\"" << corvane::server::kThreadingModel << "\" tlbid=\""
              << library << "\" description=\"" << cls.name << "\"/>\n";
  std::cout << "    <typelib tlbid=\"" << library << "\" version=\"" << corvane::server::kLibraryVersion
            << "\" helpdir=\"\"/>\n"
               "  </file>\n";
  for (const ClassInfo& cls : Classes())
    std::cout << "  <comInterfaceExternalProxyStub name=\"" << cls.interface_name << "\" iid=\""
              << cls.interface_id << "\" proxyStubClsid32=\""
              << corvane::server::kUniversalMarshaler << "\" tlbid=\"" << library << "\"/>\n";
  std::cout << "</assembly>\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  const std::string_view platform = argc > 2 ? argv[2] : "";
  const auto is_platform = [](std::string_view p) { return p == "win32" || p == "win64"; };
  const bool wix_beside =
      argc == 7 && std::string_view(argv[5]) == "--beside" && is_platform(argv[6]);
  if (mode == "wix" && (argc == 5 || wix_beside) && is_platform(platform)) {
    WriteWix(platform, argv[3], argv[4], wix_beside ? argv[6] : "");
  } else if (mode == "manifest" && argc == 4 && is_platform(platform)) {
    WriteManifest(platform, argv[3]);
  } else {
    std::cerr << "usage: registration-source wix win32|win64 FILE_ID FOLDER_ID [--beside win32|win64]\n"
                 "       registration-source manifest win32|win64 VERSION\n";
    return 2;
  }
  return std::cout.good() ? 0 : 1;
}
